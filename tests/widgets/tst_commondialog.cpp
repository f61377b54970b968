// QtCommonDialog (CommonDialog1) on Qt's own file and font dialogs: filters, the current file name,
// typed names, and a cancelled dialog changing nothing.

#include "platform/qt/qtcommondialog.h"
#include "support/filebytes.h"
#include "whenshown.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QApplication>
#include <QFontDialog>
#include <QFontInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace zimo;
using zimo::test::whenShown;

namespace zimo {
// How QCOMPARE prints a font choice.
char *toString(const FontChoice &f)
{
    return QTest::toString(QStringLiteral("%1, %2 pt%3%4")
                               .arg(f.name)
                               .arg(f.size)
                               .arg(f.bold ? QStringLiteral(", bold") : QString())
                               .arg(f.italic ? QStringLiteral(", italic") : QString()));
}
} // namespace zimo

Q_DECLARE_METATYPE(std::optional<FontChoice>)

namespace {

// The filter the File menu gives its dialogs.
const QString documentFilter =
    QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt|HTML形式(*.html)|*.html|その他(*.*)|*.*");

struct SeenFileDialog
{
    QStringList nameFilters;
    int selectedFilter = -1;
    QStringList shownFilters; // as the file-type list shows them
    QString directory;
    QString typedName;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
};

SeenFileDialog look(QFileDialog *dialog)
{
    SeenFileDialog seen;
    seen.nameFilters = dialog->nameFilters();
    if (auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"))) {
        for (int i = 0; i < types->count(); ++i)
            seen.shownFilters.append(types->itemText(i));
        seen.selectedFilter = types->currentIndex();
    }
    seen.directory = dialog->directory().absolutePath();
    if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        seen.typedName = name->text();
    seen.mode = dialog->acceptMode();
    return seen;
}

// Types `name` into the emptied file-name field and clicks Open or Save, as the user would. When
// that button is disabled the click does nothing and the user can only cancel.
void typeAndConfirm(QFileDialog *dialog, const QString &name)
{
    auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    edit->setFocus();
    edit->clear();
    for (const QChar c : name) // one character at a time, each a change of the text
        edit->insert(QString(c));
    auto *buttons = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    for (QAbstractButton *button : buttons->buttons())
        if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole)
            button->click();
    if (dialog->isVisible())
        dialog->reject();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class TestCommonDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void nameFilters_data();
    void nameFilters();
    void fileDialogShowsFilterAndCurrentName_data();
    void fileDialogShowsFilterAndCurrentName();
    void openReturnsTypedName_data();
    void openReturnsTypedName();
    void saveReplacesWithoutQuestionAndAddsNoExtension();
    void namesThatAreNotUtf8_data();
    void namesThatAreNotUtf8();
    void fontDialog_data();
    void fontDialog();
    void fontDialogStartsFromItsDefaults();
    void fontDialogFractionalSizes();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestCommonDialog::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestCommonDialog::nameFilters_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("document filter")
        << documentFilter
        << QStringList{QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ(*.txt) (*.txt)"),
                       QStringLiteral("HTML形式(*.html) (*.html)"),
                       QStringLiteral("その他(*.*) (*)")};
    QTest::newRow("several patterns") << QStringLiteral("HTML(*.htm;*.html)|*.htm;*.html")
                                      << QStringList{QStringLiteral("HTML(*.htm;*.html) (*.htm *.html)")};
    QTest::newRow("empty pattern") << QStringLiteral("何でも|") << QStringList{QStringLiteral("何でも (*)")};
    QTest::newRow("description without pattern") << QStringLiteral("a|*.a|b")
                                                  << QStringList{QStringLiteral("a (*.a)")};
    QTest::newRow("empty") << QString() << QStringList{};
}

void TestCommonDialog::nameFilters()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);
    QCOMPARE(qtNameFilters(filter), expected);
}

void TestCommonDialog::fileDialogShowsFilterAndCurrentName_data()
{
    QTest::addColumn<bool>("save");
    QTest::addColumn<bool>("withCurrent");
    QTest::addColumn<bool>("folderOffered"); // the save dialog offered the folder, not the name
    QTest::newRow("open, first use") << false << false << false;
    QTest::newRow("open, current file") << false << true << false;
    QTest::newRow("save, first use") << true << false << false;
    QTest::newRow("save, current file") << true << true << false;
    QTest::newRow("save, current file's folder only") << true << true << true;
}

void TestCommonDialog::fileDialogShowsFilterAndCurrentName()
{
    QFETCH(bool, save);
    QFETCH(bool, withCurrent);
    QFETCH(bool, folderOffered);

    QDir(m_dir->path()).mkdir(QStringLiteral("文書 フォルダ"));
    const QString folder = m_dir->filePath(QStringLiteral("文書 フォルダ"));
    const QString current = withCurrent ? folder + QStringLiteral("/ページ.html") : QString();
    if (withCurrent)
        writeFile(current, "<HTML>");

    QtCommonDialog dialog(nullptr, nullptr);
    dialog.filter = documentFilter;
    dialog.fileName = current;

    SeenFileDialog seen;
    whenShown<QFileDialog>([&seen](QFileDialog *shown) {
        seen = look(shown);
        QTest::keyClick(shown, Qt::Key_Escape);
    });
    if (folderOffered)
        QCOMPARE(dialog.chooseSave(folder + u'/'), std::nullopt);
    else
        QCOMPARE(save ? dialog.showSave() : dialog.showOpen(), false);

    QCOMPARE(seen.mode, save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    QCOMPARE(seen.nameFilters, qtNameFilters(documentFilter));
    QCOMPARE(seen.selectedFilter, 0);
    QCOMPARE(seen.shownFilters, (QStringList{QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ(*.txt)"),
                                             QStringLiteral("HTML形式(*.html)"),
                                             QStringLiteral("その他(*.*)")}));
    QCOMPARE(seen.directory, withCurrent ? folder : m_dir->path());
    QCOMPARE(seen.typedName,
             withCurrent && !folderOffered ? QStringLiteral("ページ.html") : QString());
    // Cancelled: the file name is as it was.
    QCOMPARE(dialog.fileName, current);
}

void TestCommonDialog::openReturnsTypedName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("exists");
    QTest::newRow("missing file") << QStringLiteral("まだない.txt") << false;
    QTest::newRow("existing file") << QStringLiteral("ある.html") << true;
}

void TestCommonDialog::openReturnsTypedName()
{
    QFETCH(QString, name);
    QFETCH(bool, exists);
    if (exists)
        writeFile(m_dir->filePath(name), "<P>");

    QtCommonDialog dialog(nullptr, nullptr);
    dialog.filter = documentFilter;
    whenShown<QFileDialog>([name](QFileDialog *shown) { typeAndConfirm(shown, name); });
    QVERIFY(dialog.showOpen());
    QCOMPARE(dialog.fileName, m_dir->filePath(name));
    QCOMPARE(QFile::exists(dialog.fileName), exists);
}

void TestCommonDialog::namesThatAreNotUtf8_data()
{
    QTest::addColumn<bool>("save");
    QTest::newRow("open") << false;
    QTest::newRow("save") << true;
}

// The current file's name holds Shift_JIS bytes. Qt's dialog can only show it with U+FFFD for
// those bytes (and Qt 6.4 does not list such a file at all), and hands back that form, which
// names no file: confirmed as filled in, the choice comes back as the real name, so Save never
// makes a file of another name beside it.
void TestCommonDialog::namesThatAreNotUtf8()
{
    QFETCH(bool, save);
    const QByteArray raw("\x93\xfa\x96\x7b.txt");
    const QString file = m_dir->path() + u'/' + fileNameFromBytes(raw);
    zimo::test::writeBytes(file, "<P>");

    QtCommonDialog dialog(nullptr, nullptr);
    dialog.filter = documentFilter;
    dialog.fileName = file;
    SeenFileDialog seen;
    whenShown<QFileDialog>([&](QFileDialog *shown) {
        seen = look(shown);
        typeAndConfirm(shown, seen.typedName);
    });
    QVERIFY(save ? dialog.showSave() : dialog.showOpen());
    QCOMPARE(seen.typedName, QFile::decodeName(raw));
    QCOMPARE(seen.directory, m_dir->path());
    QCOMPARE(dialog.fileName, file);
    QCOMPARE(zimo::test::entriesOf(m_dir->path()), QList<QByteArray>{raw});
    zimo::test::removeTree(m_dir->path());
}

void TestCommonDialog::saveReplacesWithoutQuestionAndAddsNoExtension()
{
    const QString existing = m_dir->filePath(QStringLiteral("old.txt"));
    writeFile(existing, "old");

    QtCommonDialog dialog(nullptr, nullptr);
    dialog.filter = documentFilter;
    dialog.fileName = existing;

    // A question about replacing would come as a message box on top of the file dialog. The
    // document commands ask it themselves, once: the dialog must not ask it a second time.
    bool asked = false;
    QPointer<QTimer> question;
    whenShown<QFileDialog>([&asked, &question](QFileDialog *shown) {
        question = whenShown<QMessageBox>([&asked](QMessageBox *box) {
            asked = true;
            box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes)->click() : box->accept();
        });
        typeAndConfirm(shown, QStringLiteral("old.txt"));
    });
    QVERIFY(dialog.showSave());
    delete question;
    QVERIFY(!asked);
    QCOMPARE(dialog.fileName, existing);

    // The "*.txt" filter is selected, but a name typed without an extension stays so.
    whenShown<QFileDialog>(
        [](QFileDialog *shown) { typeAndConfirm(shown, QStringLiteral("plain")); });
    QVERIFY(dialog.showSave());
    QCOMPARE(dialog.fileName, m_dir->filePath(QStringLiteral("plain")));
}

void TestCommonDialog::fontDialog_data()
{
    // Qt's font dialog offers whole sizes only. DejaVu names its regular style "Book" and lists
    // "Condensed Italic" first; DejaVu Sans slants as "Oblique".
    QTest::addColumn<FontChoice>("initial");
    const QString serif = QStringLiteral("DejaVu Serif");
    const QString sans = QStringLiteral("DejaVu Sans");
    const QString cjk = QStringLiteral("Noto Sans Mono CJK JP");
    QTest::newRow("regular 12") << FontChoice{serif, 12, false, false};
    QTest::newRow("bold 10") << FontChoice{serif, 10, true, false};
    QTest::newRow("italic 8") << FontChoice{serif, 8, false, true};
    QTest::newRow("bold italic 20") << FontChoice{serif, 20, true, true};
    QTest::newRow("oblique 11") << FontChoice{sans, 11, false, true};
    QTest::newRow("Japanese face") << FontChoice{cjk, 14, false, false};
    QTest::newRow("Japanese face bold") << FontChoice{cjk, 9, true, false};
}

void TestCommonDialog::fontDialog()
{
    QFETCH(FontChoice, initial);
    if (!QFontDatabase::families().contains(initial.name))
        QSKIP("the test font is not installed");

    QtCommonDialog dialog(nullptr, nullptr);
    dialog.font = initial;

    // Cancelled: the values stay; the dialog offers no underline or strike-out.
    bool effectsShown = true;
    whenShown<QFontDialog>([&effectsShown](QFontDialog *shown) {
        effectsShown = false;
        for (QCheckBox *box : shown->findChildren<QCheckBox *>())
            effectsShown = effectsShown || box->isVisibleTo(shown);
        QTest::keyClick(shown, Qt::Key_Escape);
    });
    QVERIFY(!dialog.showFont());
    QVERIFY(dialog.font.has_value());
    QCOMPARE(*dialog.font, initial);
    QVERIFY(!effectsShown);

    // Confirmed unchanged: the dialog started from the last choice and gives it back.
    whenShown<QFontDialog>([](QFontDialog *shown) { shown->accept(); });
    QVERIFY(dialog.showFont());
    QVERIFY(dialog.font.has_value());
    QCOMPARE(*dialog.font, initial);
}

void TestCommonDialog::fontDialogStartsFromItsDefaults()
{
    QtCommonDialog dialog(nullptr, nullptr);

    whenShown<QFontDialog>([](QFontDialog *shown) { QTest::keyClick(shown, Qt::Key_Escape); });
    QVERIFY(!dialog.showFont());
    QVERIFY(!dialog.font.has_value());

    QFont shownFont;
    whenShown<QFontDialog>([&shownFont](QFontDialog *shown) {
        shownFont = shown->currentFont();
        shown->accept();
    });
    QVERIFY(dialog.showFont());
    QVERIFY(dialog.font.has_value());
    QCOMPARE(dialog.font->name, shownFont.family());
    QCOMPARE(dialog.font->size, shownFont.pointSizeF());
    // The toolkit's default font as the face it resolves to, upright and regular: not the first
    // face of the list in its first style.
    const QFontInfo standard(QApplication::font());
    QCOMPARE(dialog.font->name, standard.family());
    QCOMPARE(dialog.font->italic, standard.italic());
    QCOMPARE(dialog.font->bold, standard.bold());
}

void TestCommonDialog::fontDialogFractionalSizes()
{
    const QString face = QStringLiteral("Noto Sans Mono CJK JP");
    if (!QFontDatabase::families().contains(face))
        QSKIP("the test font is not installed");
    QtCommonDialog dialog(nullptr, nullptr);
    dialog.font = FontChoice{face, 10.5, false, false};

    // The last choice comes back with its half point, and a typed 9.75 is taken as it is.
    QString shownSize;
    whenShown<QFontDialog>([&shownSize](QFontDialog *shown) {
        for (QLineEdit *edit : shown->findChildren<QLineEdit *>())
            if (edit->validator() && edit->text().contains(u'.'))
                shownSize = edit->text();
        shown->accept();
    });
    QVERIFY(dialog.showFont());
    QCOMPARE(shownSize, QStringLiteral("10.5"));
    QCOMPARE(dialog.font->size, 10.5);

    whenShown<QFontDialog>([](QFontDialog *shown) {
        for (QLineEdit *edit : shown->findChildren<QLineEdit *>()) {
            if (edit->validator() && edit->text() == u"10.5") {
                edit->selectAll();
                QTest::keyClicks(edit, QStringLiteral("9.75"));
            }
        }
        shown->accept();
    });
    QVERIFY(dialog.showFont());
    QCOMPARE(dialog.font->size, 9.75);
    QCOMPARE(dialog.font->name, face);
}

QTEST_MAIN(TestCommonDialog)
#include "tst_commondialog.moc"
