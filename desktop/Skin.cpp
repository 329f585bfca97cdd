#include "desktop/Skin.h"

#include "platform/Registry.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace desktop {

namespace {

constexpr const char* kSkinKey = "Software\\Vellora Ltd.\\Vellora\\Vellora\\Settings";

QPalette PaletteFor(int skin) {
    QPalette p = QStyleFactory::create("Fusion")->standardPalette();
    const QColor button = skin == 1 ? QColor(236, 233, 216) : skin == 2 ? QColor(196, 218, 250) : QColor(238, 238, 242);
    const QColor highlight = skin == 1 ? QColor(49, 106, 197) : skin == 2 ? QColor(255, 192, 111) : QColor(51, 153, 255);
    p.setColor(QPalette::Window, button);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::Highlight, highlight);
    return p;
}

void Show(int skin) {
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        app->setStyle(QStyleFactory::create("Fusion"));
        app->setPalette(PaletteFor(skin));
    }
}

}  // namespace

int ApplySkin() {
    // The value lives under the user's key whatever the settings root is.
    platform::RegValue value;
    int skin = 0;
    if (platform::registry::QueryValue(platform::registry::Hive::CurrentUser, kSkinKey, "Skin", value) == 0 &&
        value.type == platform::REG_DWORD && value.data.size() == 4)
        skin = static_cast<unsigned char>(value.data[0]) | (static_cast<unsigned char>(value.data[1]) << 8) |
               (static_cast<unsigned char>(value.data[2]) << 16) | (static_cast<unsigned char>(value.data[3]) << 24);
    if (skin < 1 || skin > 3) return SetSkin(2);
    Show(skin);
    return skin;
}

int SetSkin(int skin) {
    platform::registry::SetValue(platform::registry::Hive::CurrentUser, kSkinKey, "Skin",
                                 platform::RegValue::DWord(static_cast<uint32_t>(skin)));
    Show(skin);
    return skin;
}

}  // namespace desktop
