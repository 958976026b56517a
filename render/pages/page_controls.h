#pragma once
/// Making the buttons of the display pages and dialogs.
#include <QPushButton>
#include <QString>
#include <type_traits>

namespace zelvor {

/// A button (check box, radio button, push button) with `text`, its objectName the decimal control id. A push
/// button is never a dialog's default: Enter in a scroller's edit box confirms the value typed there and must
/// not press a button as well (the pages themselves sit in a dialog, the configuration sheet).
template <class Button>
Button* MakeButton(QWidget* parent, const QString& text, int controlId) {
    auto* button = new Button(text, parent);
    button->setObjectName(QString::number(controlId));
    if constexpr (std::is_base_of_v<QPushButton, Button>) button->setAutoDefault(false);
    return button;
}

}  // namespace zelvor
