// Requesters and the clipboard: message and question boxes, the text view, the file and
// folder requesters, and the hooks tests put in their place.

#include <QClipboard>
#include <QDialog>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include <memory>
#include <vector>

#include "ui/toolkit/qt_binding.h"

namespace tk {

using namespace binding;

void messageBox(const Text& title, const Text& text) {
    auto& s = state();
    dropHandCursor();
    if (s.messageBoxHook) {
        s.messageBoxHook(title, text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, toQString(title), toQString(text), QMessageBox::Ok,
                    s.window);
    box.exec();
}

std::unique_ptr<QDialog> binding::buildTextView(const Text& title, const std::vector<ViewLine>& lines) {
    auto& s = state();
    auto dialog = std::make_unique<QDialog>(s.window);
    dialog->setWindowTitle(toQString(title));
    auto* layout = new QVBoxLayout(dialog.get());
    auto* view = new QTextEdit(dialog.get());
    view->setReadOnly(true);
    view->setLineWrapMode(QTextEdit::NoWrap);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(view);
    // Colours from the palette, so that a dark theme shows them as well as a light one.
    const QPalette palette = view->palette();
    const bool dark = palette.color(QPalette::Base).lightness() < 128;
    const QColor removed = dark ? QColor(90, 30, 30) : QColor(255, 228, 228);
    const QColor added = dark ? QColor(25, 75, 35) : QColor(222, 248, 226);
    QTextCursor cursor(view->document());
    bool first = true;
    for (const ViewLine& line : lines) {
        if (!first) cursor.insertBlock();
        first = false;
        QTextBlockFormat block;
        if (line.style == LineStyle::before) block.setBackground(removed);
        if (line.style == LineStyle::after) block.setBackground(added);
        cursor.setBlockFormat(block);
        for (const ViewPart& part : line.parts) {
            QTextCharFormat format;
            format.setForeground(palette.color(QPalette::Text));
            if (line.style == LineStyle::heading) format.setFontWeight(QFont::Bold);
            if (part.style == PartStyle::marked) {
                format.setBackground(palette.color(QPalette::Highlight));
                format.setForeground(palette.color(QPalette::HighlightedText));
            }
            if (part.style == PartStyle::faint) format.setForeground(palette.color(QPalette::PlaceholderText));
            cursor.insertText(toQString(part.text), format);
        }
    }
    view->moveCursor(QTextCursor::Start);
    if (s.window) dialog->resize(s.window->width() * 9 / 10, s.window->height() * 8 / 10);
    return dialog;
}

void showTextView(const Text& title, const std::vector<ViewLine>& lines) {
    auto& s = state();
    dropHandCursor();
    if (s.textViewHook) {
        s.textViewHook(title, lines);
        return;
    }
    std::unique_ptr<QDialog> dialog = binding::buildTextView(title, lines);
    dialog->exec();
}

bool questionBox(const Text& title, const Text& text, const Text& yes, const Text& no) {
    auto& s = state();
    dropHandCursor();
    if (s.questionBoxHook) return s.questionBoxHook(title, text);
    QMessageBox box(QMessageBox::Question, toQString(title), toQString(text), QMessageBox::NoButton, s.window);
    QPushButton* yesButton = box.addButton(toQString(yes), QMessageBox::YesRole);
    QPushButton* noButton = box.addButton(toQString(no), QMessageBox::NoRole);
    box.setDefaultButton(noButton);
    box.setEscapeButton(noButton);
    box.exec();
    return box.clickedButton() == yesButton;
}

namespace {
// "Name|*.a;*.b" becomes "Name (*.[aA] *.[bB])": Linux names are case-sensitive, the
// program's filters are not.
QString qtFilter(const Text& filter) {
    QString source = toQString(filter);
    QStringList parts = source.split('|');
    QStringList result;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
            QString caseless;
            for (QChar c : pattern) {
                if (c.isLetter() && c.toLower() != c.toUpper()) {
                    caseless += QString("[%1%2]").arg(c.toLower()).arg(c.toUpper());
                } else {
                    caseless += c;
                }
            }
            patterns << caseless;
        }
        result << QString("%1 (%2)").arg(parts[i], patterns.join(' '));
    }
    return result.join(";;");
}
}  // namespace

std::vector<Text> openFileRequester(const Text& title, const Text& startPath, const Text& filter,
                                    bool multiple) {
    auto& s = state();
    if (s.fileRequesterHook) return s.fileRequesterHook(title, startPath, filter);
    dropHandCursor();
    QFileDialog dialog(s.window, toQString(title), toQString(startPath), qtFilter(filter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    std::vector<Text> chosen;
    if (dialog.exec() != QDialog::Accepted) return chosen;
    for (const QString& file : dialog.selectedFiles()) chosen.push_back(fromQString(file));
    return chosen;
}

Text pathRequester(const Text& title, const Text& startPath) {
    auto& s = state();
    Text chosen;
    if (s.pathRequesterHook) {
        chosen = s.pathRequesterHook(title, startPath);
    } else {
        dropHandCursor();
        QFileDialog dialog(s.window, toQString(title), toQString(startPath));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setFileMode(QFileDialog::Directory);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            chosen = fromQString(dialog.selectedFiles().front());
        }
    }
    if (!chosen.empty() && chosen.back() != u'/') chosen += u'/';
    return chosen;
}

// The clipboard holds LF line ends, as Linux programs expect; the program's CR LF and lone
// CR become LF.
void setClipboardText(const Text& text) {
    QString lines = toQString(text);
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QChar(u'\r'), QChar(u'\n'));
    QGuiApplication::clipboard()->setText(lines);
}

Text getClipboardText() { return fromQString(QGuiApplication::clipboard()->text()); }

void setMessageBoxHook(MessageBoxHook hook) { state().messageBoxHook = std::move(hook); }
void setQuestionBoxHook(QuestionBoxHook hook) { state().questionBoxHook = std::move(hook); }
void setTextViewHook(TextViewHook hook) { state().textViewHook = std::move(hook); }
void setFileRequesterHook(FileRequesterHook hook) { state().fileRequesterHook = std::move(hook); }
void setPathRequesterHook(PathRequesterHook hook) { state().pathRequesterHook = std::move(hook); }

}  // namespace tk
