#include "platform/qt/qtcommondialog.h"
#include "platform/qt/qtprinter.h"
#include "platform/filenames.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QLocale>
#include <QDoubleValidator>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QPrintDialog>
#include <QPrinter>
#include <QStringList>

#include <cstdlib>

namespace zimo {

namespace {

// Qt's own file dialog (6.4) selects the folder itself in its file list while the name field is
// empty, and only drops that selection again if the field still has the keyboard focus when the
// next character arrives; the completion popup takes it first. The dialog then thinks the folder is
// chosen and disables Open/Save, so a typed name of an existing file could not be confirmed. After
// each change of the name the stray folder selection is removed, which lets the dialog judge the
// typed name alone.
void keepFolderOutOfSelection(QFileDialog &dialog)
{
    auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    auto *list = dialog.findChild<QListView *>(QStringLiteral("listView"));
    if (!edit || !list)
        return;
    QObject::connect(edit, &QLineEdit::textChanged, &dialog, [list] {
        QItemSelectionModel *selection = list->selectionModel();
        if (!selection)
            return;
        const QModelIndex folder = list->rootIndex();
        for (const QModelIndex &row : selection->selectedRows())
            if (row == folder)
                selection->select(row, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    });
}

// The file dialogs of CommonDialog1. Both accept any typed name: opening a name that is not there
// is the caller's failure to report. The save dialog adds no extension and does not ask before
// replacing a file: the document commands ask that themselves (one question, the same with every
// dialog).
std::optional<QString> askFileName(QWidget *parent, QFileDialog::AcceptMode mode,
                                   const QString &filter, const QString &current)
{
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // The descriptions already name their patterns ("ﾃｷｽﾄﾌｧｲﾙ(*.txt)"): show them as they are.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(QFileDialog::AnyFile);
    keepFolderOutOfSelection(dialog);
    if (mode == QFileDialog::AcceptSave)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);

    const QStringList filters = qtNameFilters(filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.first());
    }
    // The current file is filled in, in its folder; a folder alone (ending in "/") is opened with
    // no name filled in; before there is either the dialog opens on the working folder.
    if (current.isEmpty()) {
        dialog.setDirectory(QDir::currentPath());
    } else if (current.endsWith(u'/')) {
        dialog.setDirectory(qtShownFileName(current));
    } else {
        // Qt lists a name that is not UTF-8 in its own lossy form; it is filled in in that form
        // so that it matches the list, and taken back to the real name below.
        dialog.setDirectory(qtShownFileName(folderOf(current)));
        dialog.selectFile(qtShownFileName(current.sliced(current.lastIndexOf(u'/') + 1)));
    }

    // Qt's dialog cannot hand back a name that is not UTF-8: it gives the name as it listed it,
    // with U+FFFD for the bytes. The one file of the folder listed so is the one chosen.
    const std::optional<QString> chosen = chosenPath(dialog);
    if (!chosen)
        return std::nullopt;
    return resolveShownFileName(*chosen);
}

// Qt's font dialog offers underline and strike-out in an "Effects" group and has no option to leave
// it out; those are not part of the display font, so the group is hidden. It is the group that
// holds check boxes (the other one is the sample).
void hideEffects(QFontDialog &dialog)
{
    for (QGroupBox *group : dialog.findChildren<QGroupBox *>()) {
        if (!group->findChildren<QCheckBox *>().isEmpty()) {
            group->hide();
        } else {
            // The sample shared its row's height with the effects; on its own it keeps room
            // for a line of the chosen font.
            group->setMinimumHeight(group->fontMetrics().height() * 5);
        }
    }
}

// The face's style that shows the choice: bold and italic as asked, and of those the plainest
// (weight nearest to regular or bold, shortest name: "Italic" rather than "Condensed Italic"). Qt's
// font dialog finds a style by name and, when a face names its regular style "Book" rather than
// "Regular", would otherwise open on the face's first style, which may be italic.
QString styleFor(const FontChoice &choice)
{
    const int wanted = choice.bold ? QFont::Bold : QFont::Normal;
    QString best;
    long bestScore = 0;
    for (const QString &style : QFontDatabase::styles(choice.name)) {
        // italic() of the font also counts an oblique style as slanted
        const QFont face = QFontDatabase::font(choice.name, style, 12);
        const bool italic = face.italic();
        const int weight = face.weight();
        const bool bold = weight >= QFont::Bold;
        const long score = (italic != choice.italic ? 100000L : 0) + (bold != choice.bold ? 10000L : 0)
                           + std::abs(weight - wanted) * 10L + style.size();
        if (best.isEmpty() || score < bestScore) {
            best = style;
            bestScore = score;
        }
    }
    return best;
}

QFont toQFont(const FontChoice &choice)
{
    QFont font(choice.name);
    if (choice.size > 0)
        font.setPointSizeF(choice.size);
    font.setBold(choice.bold);
    font.setItalic(choice.italic);
    const QString style = styleFor(choice);
    if (!style.isEmpty())
        font.setStyleName(style);
    return font;
}

// Qt's font dialog takes whole point sizes only; sizes such as 10.5 are ordinary choices in a
// font dialog, so its size field is made to take them too. The field's text is then the size
// chosen (picking a size from the list writes it there). Returns the field, if it was found.
QLineEdit *acceptFractionalSizes(QFontDialog &dialog)
{
    for (QLineEdit *edit : dialog.findChildren<QLineEdit *>()) {
        if (!qobject_cast<const QIntValidator *>(edit->validator()))
            continue;
        auto *validator = new QDoubleValidator(1, 512, 2, edit);
        validator->setNotation(QDoubleValidator::StandardNotation);
        validator->setLocale(QLocale::c());
        edit->setValidator(validator);
        return edit;
    }
    return nullptr;
}

} // namespace

std::optional<QString> QtCommonDialog::askOpenFileName(const QString &filter,
                                                       const QString &current)
{
    return askFileName(m_parent, QFileDialog::AcceptOpen, filter, current);
}

std::optional<QString> QtCommonDialog::askSaveFileName(const QString &filter,
                                                       const QString &current)
{
    return askFileName(m_parent, QFileDialog::AcceptSave, filter, current);
}

std::optional<FontChoice> QtCommonDialog::askFont(const std::optional<FontChoice> &initial)
{
    // Every font the system has is both a screen and a printer font here, so nothing is filtered.
    QFontDialog dialog(m_parent);
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    hideEffects(dialog);
    QLineEdit *sizeEdit = acceptFractionalSizes(dialog);
    if (initial) {
        dialog.setCurrentFont(toQFont(*initial));
        if (sizeEdit)
            sizeEdit->setText(QLocale::c().toString(initial->size, 'g', 7));
    } else {
        // The first time, the toolkit's own default font, as the face it really resolves to:
        // left alone, the dialog cannot find a generic name such as "Sans Serif" in its list and
        // opens on the list's first face in its first style at the smallest size.
        const QFontInfo standard(dialog.font());
        dialog.setCurrentFont(toQFont(
            FontChoice{standard.family(), standard.pointSizeF(), standard.bold(), standard.italic()}));
    }

    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QFont font = dialog.selectedFont();
    double size = font.pointSizeF();
    bool typed = false;
    const double typedSize = sizeEdit ? QLocale::c().toDouble(sizeEdit->text(), &typed) : 0;
    if (typed && typedSize > 0)
        size = typedSize;
    return FontChoice{font.family(), size, font.weight() >= QFont::Bold, font.italic()};
}

bool QtCommonDialog::askPrinter()
{
    if (!m_printer)
        return false;
    // With no printer installed the dialog offers printing to a PDF file.
    QPrintDialog dialog(m_printer->qprinter(), m_parent);
    return dialog.exec() == QDialog::Accepted;
}

std::optional<QString> chosenPath(QFileDialog &dialog)
{
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen.first();
}

QStringList qtNameFilters(const QString &filter)
{
    QStringList filters;
    for (const FilterEntry &entry : parseFilter(filter)) {
        // Patterns are separated by ";" in the "|" format and by blanks in Qt's. "*.*" means every
        // file there, also one without an extension, which is "*" here.
        QStringList patterns;
        for (const QString &pattern : entry.pattern.split(u';', Qt::SkipEmptyParts)) {
            const QString trimmed = pattern.trimmed();
            if (!trimmed.isEmpty())
                patterns.append(trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
        }
        if (patterns.isEmpty())
            patterns.append(QStringLiteral("*"));
        filters.append(entry.description + QLatin1String(" (") + patterns.join(u' ')
                       + QLatin1Char(')'));
    }
    return filters;
}

} // namespace zimo
