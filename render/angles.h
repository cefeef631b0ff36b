// Pi and the angle figures built from it, in double; every multiple here is exact or rounds to
// the same double as its written-out value.
#pragma once

constexpr double kPi = 3.14159265358979323846;
constexpr double kHalfPi = kPi / 2.0;
constexpr double kTwoPi = 2.0 * kPi;
constexpr double kRadiansPerDegree = kPi / 180.0;
