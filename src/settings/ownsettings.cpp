#include "settings/ownsettings.h"

#include "platform/files.h"
#include "settings/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <optional>

namespace zimo {

namespace {

const QByteArray lineNumbersKey = QByteArrayLiteral("lineNumbers");
// Larger than any file the program writes: anything bigger is not ours.
constexpr qint64 largestFile = 64 * 1024;

std::optional<bool> truthValue(QByteArrayView value)
{
    if (value == "true")
        return true;
    if (value == "false")
        return false;
    return std::nullopt;
}

// The name of a "name=value" line, or nothing for a comment or a line of another form.
std::optional<QByteArray> lineName(QByteArrayView line, QByteArrayView *value = nullptr)
{
    const QByteArrayView trimmed = line.trimmed();
    const qsizetype eq = trimmed.indexOf('=');
    if (trimmed.isEmpty() || trimmed.startsWith('#') || eq <= 0)
        return std::nullopt;
    if (value)
        *value = trimmed.sliced(eq + 1).trimmed();
    return trimmed.first(eq).trimmed().toByteArray();
}

} // namespace

QString ownSettingsPath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/zimo/settings.conf");
}

OwnSettings readOwnSettings(QByteArrayView bytes)
{
    OwnSettings settings;
    for (const QByteArray &line : bytes.toByteArray().split('\n')) {
        QByteArrayView value;
        const std::optional<QByteArray> name = lineName(line, &value);
        if (name == lineNumbersKey) {
            if (const std::optional<bool> on = truthValue(value))
                settings.lineNumbers = *on;
        }
    }
    return settings;
}

QByteArray ownSettingsBytes(const OwnSettings &settings, QByteArrayView previous)
{
    const QByteArray ours = lineNumbersKey + '=' + (settings.lineNumbers ? "true" : "false");
    QByteArray out;
    bool written = false;
    for (const QByteArray &line : previous.toByteArray().split('\n')) {
        if (line.isEmpty())
            continue;
        if (lineName(line) == lineNumbersKey) {
            if (!written)
                out += ours + '\n';
            written = true;
            continue;
        }
        out += line + '\n';
    }
    if (!written)
        out += ours + '\n';
    return out;
}

OwnSettings loadOwnSettings()
{
    const QString path = ownSettingsPath();
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > largestFile)
        return {};
    const std::optional<QByteArray> bytes = readWholeFile(path);
    return bytes ? readOwnSettings(*bytes) : OwnSettings();
}

bool saveOwnSettings(const OwnSettings &settings, MessageBox &messageBox)
{
    const QString path = ownSettingsPath();
    const QString folder = QFileInfo(path).path();
    if (!QFileInfo::exists(folder)) {
        // Made for the user alone, as the desktop's configuration folders are.
        QDir().mkpath(QFileInfo(folder).path());
        QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    std::optional<QByteArray> previous;
    const QFileInfo info(path);
    if (info.isFile() && info.size() <= largestFile)
        previous = readWholeFile(path);
    return writeSettingsFile(messageBox, path, ownSettingsBytes(settings, previous.value_or(QByteArray())));
}

} // namespace zimo
