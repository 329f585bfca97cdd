#include "editor/TipDialog.h"

#include "desktop/Help.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace editor {

std::string TipsFile() { return desktop::HelpPage("../tips.txt").toStdString(); }

CTipDialog::CTipDialog(CTipOfTheDay& tips, QWidget* parent) : QDialog(parent), m_tips(tips) {
    setWindowTitle("Tip of the Day");
    auto* heading = new QLabel("Did you know...", this);
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    heading->setFont(bold);
    m_tip = new QLabel(this);
    m_tip->setWordWrap(true);
    m_tip->setMinimumSize(360, 80);
    m_tip->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_showAtStartUp = new QCheckBox("&Show Tips on StartUp", this);
    m_showAtStartUp->setChecked(CTipOfTheDay::ShowAtStartUp());
    m_next = new QPushButton("&Next Tip", this);
    auto* close = new QPushButton("Close", this);
    close->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_showAtStartUp);
    buttons->addStretch();
    buttons->addWidget(m_next);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(m_tip, 1);
    layout->addLayout(buttons);
    connect(m_next, &QPushButton::clicked, this, [this] { m_tip->setText(QString::fromStdString(m_tips.NextTip())); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    m_tip->setText(QString::fromStdString(m_tips.NextTip()));
}

void CTipDialog::done(int result) {
    m_tips.Close(m_showAtStartUp->isChecked());
    QDialog::done(result);
}

}  // namespace editor
