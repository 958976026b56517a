#pragma once
/// The identities of the Scrivel control that its library and the programs using it share.

namespace scrivel {

/// Class id under which libscrivel.so registers the control and by which programs create it.
inline constexpr const char* SCRIVEL_CLASS_ID = "{FC39737B-6778-4007-B7D3-DAA369CFF3C8}";
/// Program id of the control.
inline constexpr const char* SCRIVEL_PROG_ID = "SCRIVEL.ScrivelCtrl.1";
/// Class id and program id of the control's property page "General".
inline constexpr const char* SCRIVEL_PROPPAGE_CLASS_ID = "{6A1B3F52-93C4-4E0D-A5E8-2F7C41D90B16}";
inline constexpr const char* SCRIVEL_PROPPAGE_PROG_ID = "SCRIVEL.ScrivelPropPage.1";
/// Caption of the property page.
inline constexpr const char* SCRIVEL_PROPPAGE_CAPTION = "General";

/// Descriptions of the library and its interfaces.
inline constexpr const char* SCRIVEL_LIBRARY_DESCRIPTION = "Scrivel ActiveX Control module";
inline constexpr const char* SCRIVEL_DISPATCH_DESCRIPTION = "Dispatch interface for Scrivel Control";
inline constexpr const char* SCRIVEL_EVENTS_DESCRIPTION = "Event interface for Scrivel Control";
inline constexpr const char* SCRIVEL_CONTROL_DESCRIPTION = "Scrivel Control";

}  // namespace scrivel
