#include "settings/exploresettings.h"

#include "platform/files.h"
#include "settings/settingsfile.h"

namespace zimo {

namespace {

const QString noFolderMessage = QStringLiteral("初期値がありません、設定して下さい。");
const QString browseCancelledMessage = QStringLiteral("初期値を保持します。");

} // namespace

std::optional<QString> readExploreFolder(QByteArrayView bytes)
{
    FieldReader reader(bytes);
    const auto field = reader.next();
    if (!field)
        return std::nullopt;
    return cp932::decode(*field);
}

std::optional<QString> readExploreFolderFile()
{
    const auto bytes = readWholeFile(zimoIniName);
    if (!bytes)
        return std::nullopt;
    return readExploreFolder(*bytes);
}

cp932::EncodeResult exploreIniBytes(const QString &folder)
{
    cp932::EncodeResult result = cp932::encode(folder);
    result.bytes = overlayAtStart("\r\n", result.bytes);
    return result;
}

QByteArray overlayAtStart(QByteArrayView old, QByteArrayView bytes)
{
    QByteArray result = bytes.toByteArray();
    if (old.size() > bytes.size())
        result.append(old.sliced(bytes.size()));
    return result;
}

void ExploreSettings::load()
{
    const auto bytes = readWholeFile(zimoIniName);
    if (bytes) {
        if (const auto folder = readExploreFolder(*bytes)) {
            m_label.setCaption(*folder);
            return;
        }
    }
    m_messageBox.show(noFolderMessage, MsgStyle::OkOnly);
    m_label.setCaption(defaultExploreFolder);
    // The default goes over the start of what the file held (nothing, or blanks only).
    writeSettingsFile(
        m_messageBox, zimoIniName,
        overlayAtStart(bytes.value_or(QByteArray()), cp932::encode(defaultExploreFolder).bytes));
}

void ExploreSettings::browse()
{
    const auto chosen = m_shell.browseForFolder();
    if (!chosen) {
        m_messageBox.show(browseCancelledMessage, MsgStyle::OkOnly);
        return;
    }
    m_label.setCaption(*chosen);
}

bool ExploreSettings::store()
{
    const QString folder = m_label.caption();
    const cp932::EncodeResult encoded = exploreIniBytes(folder);
    if (!encoded.ok()) {
        m_messageBox.show(
            QStringLiteral("このフォルダ名には「%1」に保存できない文字が含まれています。\n%2")
                .arg(zimoIniName, folder),
            MsgStyle::Exclamation);
        return false;
    }
    return writeSettingsFile(m_messageBox, zimoIniName, encoded.bytes);
}

} // namespace zimo
