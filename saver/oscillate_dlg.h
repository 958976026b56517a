#pragma once
/// COscillateDlg: the small window in which amplitude, frequency and phase of one oscillation are set.
#include <QDialog>
#include <QString>

#include "scrivel/scrivel_setup.h"

namespace zelvor {

class CAnimateDlg;

/// Modeless window of one oscillated parameter; its three scrollers edit settings fields in place.
class COscillateDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 190;
    static constexpr int IDC_SINFREQ = 1114;
    static constexpr int IDC_SINAMPL = 1115;
    static constexpr int IDC_PHASE = 1116;

    /// One scroller's setup: range, steps, description, precision and the field it edits.
    struct ScrollerGroup {
        double minimum = 0.0, maximum = 0.0, smallChange = 0.0, largeChange = 0.0;
        QString description;
        short precision = 2;
        double* value = nullptr;
    };

    /// Creates the (hidden) window with its scrollers as a window of the animation dialog.
    COscillateDlg(CAnimateDlg* parent, const QString& caption);

    /// Sets up the three scrollers; frequency always shows " Hz" and phase " °".
    void InitScrivels(const ScrollerGroup& amplitude, const QString& amplitudeUnit, const ScrollerGroup& frequency,
                      const ScrollerGroup& phase);
    /// Shows the current field values in the scrollers.
    void UpdateUI();

    /// The scroller with control id IDC_SINAMPL, IDC_SINFREQ or IDC_PHASE (null when it could not be created).
    QWidget* Scroller(int controlId) const;
    /// What InitScrivels gave the scroller with that control id.
    const MetaData& Setup(int controlId) const;

public slots:
    void OnNewValueSinampl(double value);
    void OnNewValueSinfreq(double value);
    void OnNewValuePhase(double value);

private:
    enum { AMPLITUDE = 0, FREQUENCY, PHASE, SCROLLERS };
    static int IndexOf(int controlId);
    void Store(int index, double value);

    CAnimateDlg* owner_;
    QWidget* scrollers_[SCROLLERS] = {};
    MetaData setup_[SCROLLERS];
};

}  // namespace zelvor
