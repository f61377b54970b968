#include "app/openrequest.h"

namespace zimo {

StartArguments parseStartArguments(const QList<QByteArray> &arguments)
{
    StartArguments start;
    if (arguments.isEmpty())
        return start;
    if (arguments.first() == openOption) {
        start.open = true;
        // Taken as it is, even when it starts with "-": the desktop hands over absolute paths and
        // nothing after the option is an option.
        if (arguments.size() > 1)
            start.path = arguments.at(1);
        return start;
    }
    start.path = arguments.first();
    return start;
}

QByteArray absolutePath(const QByteArray &path, const QByteArray &folder)
{
    if (path.isEmpty() || path.startsWith('/'))
        return path;
    QByteArray absolute = folder;
    if (!absolute.endsWith('/'))
        absolute += '/';
    return absolute + path;
}

QByteArray encodeOpenRequest(QByteArrayView path)
{
    QByteArray request(openRequestTag, openRequestTagSize);
    const quint32 size = quint32(path.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        request += char((size >> shift) & 0xff);
    request += path;
    return request;
}

OpenRequestReader::State OpenRequestReader::feed(QByteArrayView bytes)
{
    if (bytes.isEmpty() || m_state == State::Invalid)
        return m_state;
    if (m_state == State::Complete) {
        m_state = State::Invalid;
        return m_state;
    }
    // Never more than a whole request is kept: a client cannot make the window hold more.
    if (m_bytes.size() + bytes.size() > openRequestMaxSize) {
        m_state = State::Invalid;
        m_bytes.clear();
        return m_state;
    }
    m_bytes += bytes;
    check();
    return m_state;
}

void OpenRequestReader::check()
{
    const QByteArrayView tag(openRequestTag, openRequestTagSize);
    const qsizetype head = std::min(m_bytes.size(), openRequestTagSize);
    if (QByteArrayView(m_bytes).first(head) != tag.first(head)) {
        m_state = State::Invalid;
        return;
    }
    if (m_bytes.size() < openRequestTagSize + 4)
        return;
    quint32 size = 0;
    for (int i = 0; i < 4; ++i)
        size = (size << 8) | quint8(m_bytes[openRequestTagSize + i]);
    const qsizetype total = openRequestTagSize + 4 + qsizetype(size);
    if (size > openRequestMaxPath || m_bytes.size() > total) {
        m_state = State::Invalid;
        return;
    }
    if (m_bytes.size() < total)
        return;
    const QByteArrayView path = QByteArrayView(m_bytes).sliced(openRequestTagSize + 4);
    // A path is absolute (or empty) and holds no zero byte.
    if (path.contains('\0') || (!path.isEmpty() && !path.startsWith('/'))) {
        m_state = State::Invalid;
        return;
    }
    m_state = State::Complete;
}

QByteArray OpenRequestReader::path() const
{
    if (m_state != State::Complete)
        return {};
    return m_bytes.sliced(openRequestTagSize + 4);
}

} // namespace zimo
