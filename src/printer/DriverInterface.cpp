#include "printer/DriverInterface.h"

#include <cstddef>

namespace sarnok {

static_assert(sizeof(CDocInfo1) == 3 * sizeof(char*));
static_assert(offsetof(CDocInfo1, m_outputFile) == sizeof(char*));
static_assert(offsetof(CDocInfo1, m_dataType) == 2 * sizeof(char*));

PFN_ZevStartDocPrinter ZevStartDocPrinter = nullptr;
PFN_ZevEndDocPrinter ZevEndDocPrinter = nullptr;
PFN_ZevReadPrinter ZevReadPrinter = nullptr;

} // namespace sarnok
