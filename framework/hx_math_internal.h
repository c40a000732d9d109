// Helpers shared by the framework's maths modules (matrix, matrix2d, euler,
// quat): angle conversions and the thresholds the conversions test against.
// Not part of the framework's interface.
#pragma once

#include "framework/hx_math.h"

#include <cmath>
#include <cstdint>

namespace hxmath {

constexpr double kAngleToRadians = 9.587379924285257e-05; // 2 pi / 65536
constexpr double kRadiansToAngle = 10430.37835047045;     // 32768 / pi

constexpr double kEps23 = 1.1920929e-7; // 2^-23
constexpr double kEps22 = 2.3841858e-7; // 2^-22

inline double AngleRadians(hx_angle a) { return static_cast<double>(a) * kAngleToRadians; }

// Radians to an angle: truncated towards zero, the low 16 bits kept.
inline hx_angle RadiansToAngle(double r)
{
    const double units = std::trunc(r * kRadiansToAngle);
    if (!std::isfinite(units)) return 0;
    return static_cast<hx_angle>(static_cast<int64_t>(std::fmod(units, 65536.0)) & 0xFFFF);
}

struct SinCos {
    double s, c;
};
inline SinCos AngleSinCos(hx_angle a)
{
    const double r = AngleRadians(a);
    return {std::sin(r), std::cos(r)};
}

// Normalises (x, y, z) in place; when its length is not above the threshold
// it becomes (1, 0, 0) instead.
inline void NormaliseOrX(double& x, double& y, double& z, double threshold)
{
    const double len = std::sqrt(x * x + y * y + z * z);
    if (len > threshold) {
        x /= len, y /= len, z /= len;
    } else {
        x = 1, y = 0, z = 0;
    }
}

} // namespace hxmath
