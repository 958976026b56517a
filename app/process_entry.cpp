#include "app/process_entry.h"

#include "app/grelt_binding.h"
#include "app/my_app.h"

namespace zelvor {

int RunApplication(CMyApp& app, const std::function<int()>& messageLoop) {
    // Bound first and unbound last, so that a crash anywhere in between is reported.
    GreltBinding crashHandler;
    if (!app.InitInstance()) return app.ExitInstance();
    app.exitCode = messageLoop ? messageLoop() : 0;
    return app.ExitInstance();
}

}  // namespace zelvor
