#include "search/searchcommands.h"

#include "search/searchrule.h"

#include <exception>
#include <utility>

namespace zimo {

namespace {

const QString notFoundMessage = QStringLiteral("検索文字列が見つかりません");
const QString unfinishedMessage = QStringLiteral("まだ作成中です。");

} // namespace

SearchCommands::SearchCommands(TextBox &mainText, TextBox &searchField, MessageBox &messageBox,
                               std::function<void()> showDialog)
    : m_mainText(mainText), m_searchField(searchField), m_messageBox(messageBox),
      m_showDialog(std::move(showDialog))
{
}

void SearchCommands::Command1_Click()
{
    search(From::DocumentStart);
}

void SearchCommands::Command2_Click()
{
    search(From::SelectionEnd);
}

void SearchCommands::Command3_Click()
{
    // There is no backward search: say so, then search onward like "次を検索".
    m_messageBox.show(unfinishedMessage, MsgStyle::OkOnly);
    Command2_Click();
}

void SearchCommands::search(From from)
{
    m_mainText.setFocus();
    bool found = false;
    try {
        const qsizetype start =
            from == From::DocumentStart ? 1 : m_mainText.selStart() + m_mainText.selLength() + 1;
        const QString searchText = m_searchField.text();
        if (const qsizetype q = findOnward(m_mainText.text(), searchText, start)) {
            m_mainText.setSelStart(q - 1);
            m_mainText.setSelLength(searchText.size());
            found = true;
        }
    } catch (const std::exception &) {
        // A step that fails (a document too large to copy) is reported like an absent text.
        found = false;
    }
    if (!found)
        m_messageBox.show(notFoundMessage, MsgStyle::OkOnly);
    m_showDialog();
}

} // namespace zimo
