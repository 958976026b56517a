#pragma once
/// The crash dialog on screen (Qt Widgets), and the display it needs.
#include "greltlib/helper/dialog_texts.h"

#include <memory>
#include <string>

class QApplication;

namespace zelvor::grelt {

/// False when no window can be shown: neither an X nor a Wayland display is named, or Qt is told to draw
/// nowhere (QT_QPA_PLATFORM offscreen or minimal).
bool DisplayConfigured();

/// The application for the dialog, or nothing when the display named cannot be opened after all (Qt would
/// otherwise abort the helper). argc must outlive the application.
std::unique_ptr<QApplication> OpenDisplay(int& argc, char** argv);

/// Shows the dialog until a button is pressed or the window is closed; returns the button's result.
DialogAnswer ShowCrashDialog(const DialogTexts& texts, const std::string& report, const std::string& executablePath);

/// A modal error box with the caption "Error".
void ShowError(const std::string& text);

}  // namespace zelvor::grelt
