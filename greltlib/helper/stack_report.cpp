#include "greltlib/helper/stack_report.h"

namespace zelvor::grelt {

StackReport WriteStackReport(const StackReportRequest&) { return {}; }

}  // namespace zelvor::grelt
