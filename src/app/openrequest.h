#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace zimo {

// The desktop's way to open a document: `zimo --open FILE`. The file is opened as "開く．．．(&O)"
// opens the file chosen in its dialog; a running copy is handed the request (openchannel.h).
// `zimo PATH` without the option keeps inserting the file's lines (load_text).
inline constexpr char openOption[] = "--open";

// What the command line asks for. Arguments are the bytes the system gave (a file name need not
// be valid UTF-8).
struct StartArguments
{
    // `--open` came first: open `path` as a document (empty: just the window).
    bool open = false;
    // With `open`: the first file after the option; further ones are ignored (one document per
    // window). Without: the document path of load_text, the first argument whole.
    QByteArray path;
};

// `arguments` are those after the program's name.
StartArguments parseStartArguments(const QList<QByteArray> &arguments);

// `path` made absolute against `folder` (the folder the request was made in); "." and ".."
// parts are left for the system to resolve, as it does for the relative path itself.
QByteArray absolutePath(const QByteArray &path, const QByteArray &folder);

// One open request on the local socket: the tag "ZIMO-OPEN", the path's length as four bytes
// (most significant first), then the path's bytes. The path is absolute or empty (only bring the
// window to the front). The receiver answers one byte, openAccepted, once it has taken it.
inline constexpr char openRequestTag[] = "ZIMO-OPEN";
inline constexpr qsizetype openRequestTagSize = sizeof(openRequestTag) - 1;
// The longest path the system takes (PATH_MAX, less its terminating zero).
inline constexpr qsizetype openRequestMaxPath = 4095;
inline constexpr qsizetype openRequestMaxSize = openRequestTagSize + 4 + openRequestMaxPath;
inline constexpr char openAccepted = 'K';

QByteArray encodeOpenRequest(QByteArrayView path);

// Takes a request's bytes as they arrive, in pieces of any size.
class OpenRequestReader
{
public:
    enum class State { Incomplete, Complete, Invalid };
    // Adds bytes; once Complete or Invalid, further bytes make it Invalid (one request per
    // connection).
    State feed(QByteArrayView bytes);
    State state() const { return m_state; }
    // The path, once Complete.
    QByteArray path() const;

private:
    void check();

    QByteArray m_bytes;
    State m_state = State::Incomplete;
};

} // namespace zimo
