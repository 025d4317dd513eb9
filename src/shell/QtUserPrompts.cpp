#include "shell/QtUserPrompts.h"

#include <QApplication>
#include <QCursor>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

QtUserPrompts::~QtUserPrompts()
{
    setBusy(false);
}

PromptButton QtUserPrompts::message(const QString &caption, const QString &text, PromptIcon icon,
                                    const PromptButtons &buttons, PromptButton defaultButton)
{
    // A box must never show over an hourglass the user cannot click through.
    const bool wasBusy = m_busy;
    setBusy(false);

    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(caption.isEmpty() ? QApplication::applicationName() : caption);
    box.setText(text);
    switch (icon) {
    case PromptIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case PromptIcon::Information: box.setIcon(QMessageBox::Information); break;
    case PromptIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case PromptIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case PromptIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    const auto standard = [](PromptButton b) {
        switch (b) {
        case PromptButton::Ok: return QMessageBox::Ok;
        case PromptButton::Cancel: return QMessageBox::Cancel;
        case PromptButton::Yes: return QMessageBox::Yes;
        case PromptButton::No: return QMessageBox::No;
        case PromptButton::Ignore: return QMessageBox::Ignore;
        case PromptButton::Abort: return QMessageBox::Abort;
        case PromptButton::Retry: return QMessageBox::Retry;
        case PromptButton::None: break;
        }
        return QMessageBox::NoButton;
    };
    PromptButtons shown = buttons.isEmpty() ? PromptButtons{PromptButton::Ok} : buttons;
    for (PromptButton b : shown)
        box.addButton(standard(b));
    if (standard(defaultButton) != QMessageBox::NoButton && shown.contains(defaultButton))
        box.setDefaultButton(standard(defaultButton));
    box.exec();
    PromptButton answer = defaultButton;
    const QMessageBox::StandardButton clicked = box.standardButton(box.clickedButton());
    for (PromptButton b : shown)
        if (standard(b) == clicked)
            answer = b;
    if (wasBusy)
        setBusy(true);
    return answer;
}

bool QtUserPrompts::input(const QString &caption, const QString &prompt, QString &value)
{
    bool ok = false;
    const QString answer = QInputDialog::getText(QApplication::activeWindow(), caption, prompt, QLineEdit::Normal, value, &ok);
    if (ok)
        value = answer;
    return ok;
}

QString QtUserPrompts::dialogFilter(const QString &filter)
{
    if (!filter.contains(u'|'))
        return filter;
    const QStringList parts = filter.split(u'|', Qt::SkipEmptyParts);
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        out << QStringLiteral("%1 (%2)").arg(parts[i], QString(parts[i + 1]).replace(u';', u' '));
    return out.join(QStringLiteral(";;"));
}

QString QtUserPrompts::openFile(const QString &caption, const QString &directory, const QString &filter)
{
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), caption, directory, dialogFilter(filter));
}

QString QtUserPrompts::saveFile(const QString &caption, const QString &proposedPath, const QString &filter,
                                const QString &defaultSuffix)
{
    QFileDialog dialog(QApplication::activeWindow(), caption, QFileInfo(proposedPath).path(), dialogFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile(proposedPath);
    if (!defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(defaultSuffix.startsWith(u'.') ? defaultSuffix.mid(1) : defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

void QtUserPrompts::beep()
{
    QApplication::beep();
}

void QtUserPrompts::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QApplication::restoreOverrideCursor();
}
