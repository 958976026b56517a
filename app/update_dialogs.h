#pragma once
/// The windowing side of the online update check.
namespace zelvor {

class CMyApp;

/// Makes app's update checks show CDownloadThreadDlg as their progress dialog. A QApplication must exist;
/// the dialogs are created and destroyed on its thread.
void InstallUpdateDialogs(CMyApp& app);

}  // namespace zelvor
