#pragma once
/// CCPUAntiHogDlg: the processor-usage limits of the tessellation governor: the lowest and highest share of
/// one processor in percent and the most adjustment passes, applied as they are typed.
#include <QDialog>

class QLineEdit;

namespace zelvor {

class CAppSettings;

class CCPUAntiHogDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 260;
    static constexpr int IDC_MINCPU = 1321;
    static constexpr int IDC_MAXCPU = 1322;
    static constexpr int IDC_PASSES = 1323;
    static constexpr const char* CAPTION = "Processor Usage";

    /// The three limits; kept with 0 <= minimum <= maximum <= 100 and passes >= 1.
    struct Limits {
        int minimum = 5, maximum = 40, passes = 10;
        bool operator==(const Limits&) const = default;
    };
    enum class Field { MINIMUM, MAXIMUM, PASSES };
    /// The limits after `text` was typed into `field`: a minimum is kept within 0..maximum, a maximum within
    /// minimum..100, passes at 1 or more. Text that is not a whole number changes nothing. Limits that already
    /// broke the rules (a damaged store) are first brought back within them.
    static Limits TypedLimits(Limits current, Field field, const QString& text);

    /// A modeless window of `parent` (the rendering page).
    explicit CCPUAntiHogDlg(QWidget* parent = nullptr);

    /// The settings record whose limits the dialog edits (null: none; typing then changes nothing).
    void SetAppSettings(CAppSettings* settings);
    /// Shows the limits in the fields.
    void UpdateDisplayValues();

private:
    /// Applies what the field holds; `show` writes the settled limits back into the fields (focus leaves).
    void OnEdited(Field field, bool show);
    QLineEdit* Edit(Field field) const;

    CAppSettings* settings_ = nullptr;
    QLineEdit* edits_[3] = {};
};

}  // namespace zelvor
