#include "desktop/PasswordFields.h"

#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace desktop {

QLineEdit* MaskedEdit(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setEchoMode(QLineEdit::Password);
    edit->setMinimumWidth(220);
    return edit;
}

QDialogButtonBox* OkCancel(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

CPasswordPrompt::CPasswordPrompt(const QString& description, QWidget* parent) : QDialog(parent) {
    setWindowTitle("Enter Password");
    m_password = MaskedEdit(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(description, this));
    auto* row = new QFormLayout;
    row->addRow("Password", m_password);
    layout->addLayout(row);
    layout->addWidget(OkCancel(this));
}

}  // namespace desktop
