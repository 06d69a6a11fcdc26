#include "http/pin_text.h"

std::string pinText;
