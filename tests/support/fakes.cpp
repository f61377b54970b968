#include "support/fakes.h"
#include "platform/files.h"

#include <QFile>

namespace zimo::test {

void FakeTextBox::report(qsizetype position, qsizetype removed, const QString &added)
{
    if (m_editListener && reportsEdits)
        m_editListener({position, removed, added.size(), [added] { return added; }});
}

void FakeTextBox::setText(const QString &text)
{
    const qsizetype removed = m_text.size();
    m_text = text;
    report(0, removed, text);
    m_selStart = 0;
    m_selLength = 0;
    ++setTextCount;
}

void FakeTextBox::setSelStart(qsizetype start)
{
    m_selStart = qBound<qsizetype>(0, start, m_text.size());
    m_selLength = 0;
}

void FakeTextBox::setSelLength(qsizetype length)
{
    m_selLength = qBound<qsizetype>(0, length, m_text.size() - m_selStart);
}

void FakeTextBox::setSelText(const QString &text)
{
    m_text.replace(m_selStart, m_selLength, text);
    report(m_selStart, m_selLength, text);
    m_selStart += text.size();
    m_selLength = 0;
}

void FakeTextBox::select(qsizetype start, qsizetype length)
{
    setSelStart(start);
    setSelLength(length);
}

int FakeMessageBox::show(const QString &prompt, int style, const QString &title)
{
    shown.append({prompt, style, title, busy && busy()});
    if (onShow)
        onShow(shown.last());
    if (!answers.isEmpty())
        return answers.dequeue();
    switch (msgLook(style).buttons) {
    case MsgButtons::YesNo:
        return MsgAnswer::Yes;
    default:
        return MsgAnswer::Ok;
    }
}

std::optional<QString> FakeCommonDialog::askOpenFileName(const QString &filter,
                                                         const QString &current)
{
    fileAsks.append({QStringLiteral("open"), filter, current});
    if (onShow)
        onShow(QStringLiteral("open"));
    return fileAnswers.isEmpty() ? std::nullopt : fileAnswers.dequeue();
}

std::optional<QString> FakeCommonDialog::askSaveFileName(const QString &filter,
                                                         const QString &current)
{
    fileAsks.append({QStringLiteral("save"), filter, current});
    if (onShow)
        onShow(QStringLiteral("save"));
    return fileAnswers.isEmpty() ? std::nullopt : fileAnswers.dequeue();
}

std::optional<FontChoice> FakeCommonDialog::askFont(const std::optional<FontChoice> &initial)
{
    fontAsks.append(initial);
    if (onShow)
        onShow(QStringLiteral("font"));
    return fontAnswers.isEmpty() ? std::nullopt : fontAnswers.dequeue();
}

bool FakeCommonDialog::askPrinter()
{
    ++printerAsks;
    if (onShow)
        onShow(QStringLiteral("printer"));
    return printerAnswers.isEmpty() ? false : printerAnswers.dequeue();
}

bool FakePrinter::printText(const QString &text, QString *error)
{
    if (!failure.isEmpty()) {
        if (error)
            *error = failure;
        return false;
    }
    printed.append(text);
    return true;
}

bool FakeShell::openFolder(const QString &folder)
{
    openedFolders.append(folder);
    return openFolderResult;
}

std::optional<QString> FakeShell::browseForFolder()
{
    ++browseCount;
    return browseAnswers.isEmpty() ? std::nullopt : browseAnswers.dequeue();
}

bool FakeShell::showHelp(const QString &helpFile, HelpCommand command, int topic)
{
    helpCalls.append({helpFile, command, topic});
    return helpResult;
}

void FakeAppInfo::setBusy(bool busy)
{
    if (busy) {
        ++busyDepth;
        ++busyTimes;
    } else {
        --busyDepth;
    }
}

bool FakeShell::openInBrowser(const QString &file)
{
    BrowserCall call{file, {}, false};
    // The browser gets the file's URL made from the name's bytes (fileUrl): the file is read by
    // those bytes, as a name that is not UTF-8 must be.
    if (const auto bytes = readWholeFile(file)) {
        call.existed = true;
        call.bytes = *bytes;
    }
    browserCalls.append(call);
    return browserResult;
}

} // namespace zimo::test
