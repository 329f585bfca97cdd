#pragma once

#include "editor/TipOfTheDay.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>

namespace editor {

// "Tip of the Day": one tip at a time, and whether tips show at start-up.
class CTipDialog : public QDialog {
public:
    CTipDialog(CTipOfTheDay& tips, QWidget* parent = nullptr);
    void done(int result) override;

    QLabel* m_tip;
    QCheckBox* m_showAtStartUp;
    QPushButton* m_next;

private:
    CTipOfTheDay& m_tips;
};

// The tips file beside the help pages.
std::string TipsFile();

}  // namespace editor
