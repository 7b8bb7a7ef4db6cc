#include "timeset/Protocol.h"

#include <cstdio>

std::string LineDefinition() {
    char definition[64];
    std::snprintf(definition, sizeof definition, "baud=%d parity=%c data=%d stop=%d", kLineBaudRate,
                  kLineParity, kLineDataBits, kLineStopBits);
    return definition;
}
