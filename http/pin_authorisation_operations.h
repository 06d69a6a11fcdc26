#pragma once

#include "oauth/pin_authorisation.h"

// The PIN authorisation's requests as the service operations make them, on the configured
// service host (see service_config.h). The browser, the PIN dialog and the failure report
// are left empty for the caller: they belong to the user interface.
PinAuthorisationServices serviceOperationsForPinAuthorisation();
