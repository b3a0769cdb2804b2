#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QListWidget;
class QPushButton;

namespace Vacuola {

class Dialogs;

/**
 * The exclusion list of 設定 → 除外フォルダ: the patterns, "追加(&A)..." (a one-line
 * input box, asked through the window's boxes), "削除(&D)" of the selected
 * patterns, "既定に戻す", and OK/キャンセル. It edits a copy: the caller takes
 * patterns() when the dialog is accepted. A refused pattern is reported in the
 * dialog's message line.
 */
class ExclusionDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ExclusionDialog)

public:
    ExclusionDialog(QWidget *parent, const QStringList &patterns, Dialogs &dialogs);
    ~ExclusionDialog() override;

    QStringList patterns() const;
    /** The last refusal, empty when none. */
    QString message() const;

    void addClicked();
    void deleteClicked();
    void defaultsClicked();

private:
    void showPatterns(const QStringList &patterns);

    Dialogs &m_dialogs;
    QStringList m_patterns;
    QListWidget *m_list = nullptr;
    QLabel *m_message = nullptr;
};

} // namespace Vacuola
