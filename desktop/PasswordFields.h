#pragma once

#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QString>

namespace desktop {

// A field whose text shows as dots.
QLineEdit* MaskedEdit(QWidget* parent);
// OK and Cancel, wired to the dialog.
QDialogButtonBox* OkCancel(QDialog* dialog);

// "Enter Password" with one field under a description; both programs ask
// for a backup's password with it.
class CPasswordPrompt : public QDialog {
public:
    CPasswordPrompt(const QString& description, QWidget* parent = nullptr);
    QLineEdit* m_password;
};

}  // namespace desktop
