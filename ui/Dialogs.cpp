#include "ui/Dialogs.h"

#include "ui/ExclusionDialog.h"
#include "ui/PreviewDialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include <optional>

namespace Vacuola {

namespace {

const int InputMaxLength = 255;

QString applicationTitle()
{
    return QStringLiteral("Vacuola");
}

// Beyond this a message box may outgrow the screen (a folder thousands of levels
// deep), so the text is shown in a scrolling field instead.
const qsizetype LongText = 600;

struct BoxButton
{
    QString caption;
    QDialogButtonBox::ButtonRole role;
};

/**
 * A box for a long text: the text wraps anywhere and scrolls inside a box that
 * stays within the screen, its buttons always in reach. The index of the button
 * chosen; closing the box chooses `escape`.
 */
int longTextBox(QWidget *parent, std::optional<QStyle::StandardPixmap> icon, const QString &title,
                const QString &text, const QList<BoxButton> &buttons, int escape)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("LongTextBox"));
    dialog.setWindowTitle(title);
    auto *layout = new QVBoxLayout(&dialog);
    auto *row = new QHBoxLayout;
    if (icon) {
        auto *iconLabel = new QLabel(&dialog);
        const int iconSize = dialog.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &dialog);
        iconLabel->setPixmap(
            dialog.style()->standardIcon(*icon, nullptr, &dialog).pixmap(iconSize, iconSize));
        iconLabel->setAlignment(Qt::AlignTop);
        row->addWidget(iconLabel);
    }
    auto *field = new QPlainTextEdit(text, &dialog);
    field->setObjectName(QStringLiteral("LongText"));
    field->setReadOnly(true);
    field->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    row->addWidget(field, 1);
    layout->addLayout(row, 1);
    auto *box = new QDialogButtonBox(&dialog);
    int chosen = escape;
    for (int i = 0; i < buttons.size(); ++i) {
        QPushButton *button = box->addButton(buttons.at(i).caption, buttons.at(i).role);
        button->setDefault(i == 0);
        QObject::connect(button, &QPushButton::clicked, &dialog, [&dialog, &chosen, i] {
            chosen = i;
            dialog.done(QDialog::Accepted);
        });
    }
    layout->addWidget(box);
    const QScreen *screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 800, 600);
    dialog.resize(qMin(640, available.width() * 4 / 5), qMin(420, available.height() * 4 / 5));
    dialog.setMaximumSize(available.size());
    box->buttons().constFirst()->setFocus();
    dialog.exec();
    return chosen;
}

} // namespace

QString Dialogs::displayText(const QString &text)
{
    QString result = text;
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return result;
}

void QtDialogs::information(QWidget *parent, const QString &text)
{
    if (text.size() > LongText) {
        longTextBox(parent, std::nullopt, applicationTitle(), displayText(text),
                    {{QStringLiteral("OK"), QDialogButtonBox::AcceptRole}}, 0);
        return;
    }
    // A plain dialog rather than a message box, which would wrap the notes' indented lines on small screens.
    QDialog dialog(parent);
    dialog.setWindowTitle(applicationTitle());
    auto *layout = new QVBoxLayout(&dialog);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto *label = new QLabel(displayText(text), &dialog);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(false);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setContentsMargins(8, 8, 8, 8);
    auto *buttons = new QDialogButtonBox(&dialog);
    buttons->setCenterButtons(true);
    QPushButton *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(label);
    layout->addWidget(buttons);
    ok->setFocus();
    dialog.exec();
}

Answer QtDialogs::question(QWidget *parent, const QString &text)
{
    if (text.size() > LongText) {
        const int chosen =
            longTextBox(parent, QStyle::SP_MessageBoxWarning, QStringLiteral("警告"), displayText(text),
                        {{QStringLiteral("はい(&Y)"), QDialogButtonBox::YesRole},
                         {QStringLiteral("いいえ(&N)"), QDialogButtonBox::NoRole},
                         {QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole}},
                        2);
        return chosen == 0 ? Answer::Yes : (chosen == 1 ? Answer::No : Answer::Cancel);
    }
    QMessageBox box(QMessageBox::Warning, QStringLiteral("警告"), displayText(text), QMessageBox::NoButton,
                    parent);
    box.setTextFormat(Qt::PlainText);
    QPushButton *yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
    QPushButton *cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    // Closing the box by its close button or Escape counts as Cancel.
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == yes)
        return Answer::Yes;
    if (box.clickedButton() == no)
        return Answer::No;
    return Answer::Cancel;
}

bool QtDialogs::input(QWidget *parent, const QString &title, const QString &prompt, QString &text)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(title);
    auto *layout = new QVBoxLayout(&dialog);
    auto *label = new QLabel(displayText(prompt), &dialog);
    label->setTextFormat(Qt::PlainText);
    auto *edit = new QLineEdit(&dialog);
    edit->setMaxLength(InputMaxLength);
    edit->setText(text);
    edit->selectAll();
    auto *buttons = new QDialogButtonBox(&dialog);
    QPushButton *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(label);
    layout->addWidget(edit);
    layout->addWidget(buttons);
    dialog.setMinimumWidth(360);
    edit->setFocus();
    if (dialog.exec() != QDialog::Accepted)
        return false;
    text = edit->text();
    return true;
}

QString QtDialogs::folder(QWidget *parent, const QString &title)
{
    QString path = QFileDialog::getExistingDirectory(parent, title, QString(), QFileDialog::ShowDirsOnly);
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

void QtDialogs::errorReport(QWidget *parent, const QString &text)
{
    if (text.size() > LongText) {
        longTextBox(parent, QStyle::SP_MessageBoxCritical, applicationTitle(),
                    displayText(text) + QLatin1Char('.'),
                    {{QStringLiteral("OK"), QDialogButtonBox::AcceptRole}}, 0);
        return;
    }
    QMessageBox box(QMessageBox::Critical, applicationTitle(), displayText(text) + QLatin1Char('.'),
                    QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    QPushButton *ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

bool QtDialogs::preview(QWidget *parent, const PreviewContent &content, QStringList &kept)
{
    PreviewDialog dialog(parent, content);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    kept = dialog.keptFolders();
    return true;
}

bool QtDialogs::exclusions(QWidget *parent, QStringList &patterns)
{
    ExclusionDialog dialog(parent, patterns, *this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    patterns = dialog.patterns();
    return true;
}

} // namespace Vacuola
