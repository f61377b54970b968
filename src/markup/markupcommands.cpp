#include "markup/markupcommands.h"

#include "document/encoding.h"
#include "markup/brmarkup.h"
#include "platform/files.h"

namespace zimo {

void MarkupCommands::mnuEditConversion_Click()
{
    BusyScope busy(m_s.app);
    m_undo.keep_text();
    // The whole text is assigned even when nothing changed, as for every conversion: the caret
    // goes to the start either way.
    m_s.Text1.setText(markup::addBrTags(m_s.Text1.text()));
}

void MarkupCommands::mnuEditDelete_Click()
{
    BusyScope busy(m_s.app);
    m_undo.keep_text();
    m_s.Text1.setText(markup::removeBrTags(m_s.Text1.text()));
}

void MarkupCommands::mnuEditCenter_Click()
{
    BusyScope busy(m_s.app);
    m_undo.keep_text();
    m_s.Text1.setSelText(markup::centerBlock(m_s.Text1.selText()));
}

void MarkupCommands::mnuEditPlug_1_Click()
{
    appendSnippetFile(plug1FileName);
}

void MarkupCommands::mnuEditPlug_2_Click()
{
    appendSnippetFile(plug2FileName);
}

void MarkupCommands::appendSnippetFile(const QString &fileName)
{
    BusyScope busy(m_s.app);
    m_undo.keep_text();
    // Resolved against the working folder of this moment. A file that cannot be read ends the
    // command silently with the text as it was; the snapshot stays. An empty file is a successful
    // read: the document gets a line break at its end.
    const std::optional<QByteArray> bytes = readWholeFile(fileName);
    if (!bytes)
        return;
    // The snippet's bytes are read in their own encoding (the document's where they leave the
    // choice open); the document keeps its own.
    const Encoding document = documentEncoding ? documentEncoding() : Encoding::Cp932;
    m_s.Text1.setText(
        markup::appendSnippet(m_s.Text1.text(), encoding::decodeFile(*bytes, document).text));
}

void MarkupCommands::mnuEditBack_Click()
{
    BusyScope busy(m_s.app);
    m_undo.back_text();
}

void MarkupCommands::mnuOptionline_Click()
{
    m_s.messageBox.show(QStringLiteral("まだ作成中です。"), MsgStyle::OkOnly);
    // The true length less one, however long the text: no 16-bit wrap-around.
    const qsizetype count = m_s.Text1.text().size() - 1;
    m_s.messageBox.show(QString::number(count), MsgStyle::OkOnly);
}

} // namespace zimo
