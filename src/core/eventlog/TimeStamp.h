#pragma once
// The time stamp of the event logs: seconds since local midnight, ".", the
// milliseconds, ":", both in decimal without leading zeros. 10:30:45.007 is
// "37845.7:". A delay of k milliseconds is added to the milliseconds alone,
// without carrying into the seconds (999 + 6 is written 1005).

#include <string>

#include "core/platform/Platform.h"

namespace qbx {

std::string timeStamp(const LocalTime& t, int extraMs = 0);

// A score in the shortest decimal form, up to 15 significant digits, with
// "." whatever the user's locale: 850, -250, 950.5.
std::string scoreText(double score);

// The long position name used in the logs for a short one ("ck" gives
// "colorCardView"); any other text is returned unchanged.
std::string longPositionName(const std::string& shortName);

}  // namespace qbx
