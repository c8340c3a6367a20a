// Binomial deviates: sequential-search inversion for small means, BTPE
// (Kachitvichyanukul and Schmeiser, 1988) otherwise. Constants and the order
// of every operation are fixed so that all builds draw the same values.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "random/BtpeSetup.h"
#include "random/RandomDraws.h"

namespace selvane {
namespace {

// Below this mean a sequential search costs less than BTPE's setup.
constexpr double kInversionLimit = 30.0;
// Up to this distance from the mode the acceptance ratio is multiplied out
// term by term; beyond it the squeeze is cheaper.
constexpr int kExplicitSpan = 20;

// (n + 1) * s, with n + 1 formed in 64 bits so that n = INT_MAX cannot wrap.
double RatioNumerator(int n, double s) {
    return static_cast<double>(static_cast<std::int64_t>(n) + 1) * s;
}

// Walks the probabilities f(0), f(1), ... with f(x) = f(x - 1) * (a / x - s)
// until one exceeds what is left of a single uniform.
int SearchByInversion(Generator& generator, int n, double p, double q) {
    const double s = p / q;
    const double a = RatioNumerator(n, s);
    double r = std::exp(std::log(q) * n);
    double u = UniformRandom(generator);
    int x = 0;
    while (!(r > u)) {
        // The computed probabilities add up to 1 only up to rounding (for
        // n near 10^7 and beyond, q^n alone can be off by more than the gap
        // between the largest uniform and 1). A uniform above their sum
        // would walk past n, or spin for ever once r has underflowed to 0;
        // neither could end in a value of 0 .. n, so the search stops here.
        if (x == n || !(r > 0.0)) break;
        ++x;
        u = u - r;
        r = r * (a / x - s);
    }
    return x;
}

// Stirling's series for log(y!) beyond its leading terms.
double StirlingCorrection(double y) {
    const double y2 = y * y;
    return (13860.0 - (462.0 - (132.0 - (99.0 - 140.0 / y2) / y2) / y2) / y2) /
           y / 166320.0;
}

// Decides whether v lies under f(ix) / f(m), scaled as the region that
// proposed ix left it.
bool AcceptCandidate(int ix, double v, int n, double p, double q,
                     const BtpeSetup& b) {
    const int k = std::abs(ix - b.m);
    if (k <= kExplicitSpan || k >= static_cast<double>(n) * 0.5 * p * q - 1.0) {
        const double s = p / q;
        const double a = RatioNumerator(n, s);
        double f = 1.0;
        if (b.m < ix) {
            for (std::int64_t i = static_cast<std::int64_t>(b.m) + 1; i <= ix;
                 ++i) {
                f = f * (a / static_cast<double>(i) - s);
            }
        } else if (b.m > ix) {
            for (std::int64_t i = static_cast<std::int64_t>(ix) + 1; i <= b.m;
                 ++i) {
                f = f / (a / static_cast<double>(i) - s);
            }
        }
        return v <= f;
    }

    // Squeeze: bounds on log(f(ix) / f(m)) that need no logarithm of a
    // factorial. k * k and 2n are 64-bit: for n above ~370000 the squeeze
    // sees k beyond 46340, whose square does not fit an int.
    const double kd = static_cast<double>(k);
    const double rho =
        (((kd / 3.0 + 0.625) * kd + 0.1666666666666) / b.npq + 0.5) *
        (kd / b.npq);
    const std::int64_t k64 = k;
    const double t =
        -static_cast<double>(k64 * k64) /
        (static_cast<double>(2 * static_cast<std::int64_t>(n)) * p * q);
    const double alv = std::log(v);
    if (alv < t - rho) return true;
    if (alv > t + rho) return false;

    // Stirling's formula for the exact log ratio.
    const double x1 = static_cast<double>(static_cast<std::int64_t>(ix) + 1);
    const double f1 = static_cast<double>(static_cast<std::int64_t>(b.m) + 1);
    const double z =
        static_cast<double>(static_cast<std::int64_t>(n) + 1 - b.m);
    const double w = static_cast<double>(static_cast<std::int64_t>(n) - ix + 1);
    const double bound =
        (n - b.m + 0.5) * std::log(z / w) + b.xm * std::log(f1 / x1) +
        (ix - b.m) * std::log(w * p / (x1 * q)) + StirlingCorrection(f1) +
        StirlingCorrection(z) + StirlingCorrection(x1) + StirlingCorrection(w);
    return alv <= bound;
}

}  // namespace

BtpeSetup MakeBtpeSetup(int n, double p) {
    BtpeSetup b;
    const double q = 1.0 - p;
    const double np = static_cast<double>(n) * p;
    b.npq = np * q;
    b.ffm = np + p;
    b.m = static_cast<int>(b.ffm);
    b.p1 = std::floor(std::sqrt(b.npq) * 2.195 - q * 4.6) + 0.5;
    b.xm = b.m + 0.5;
    b.xl = b.xm - b.p1;
    b.xr = b.xm + b.p1;
    b.ph = 20.5 / (b.m + 15.3) + 0.134;
    double al = (b.ffm - b.xl) / (b.ffm - b.xl * p);
    b.xll = (0.5 * al + 1.0) * al;
    al = (b.xr - b.ffm) / (b.xr * q);
    b.xlr = (0.5 * al + 1.0) * al;
    b.p2 = (2.0 * b.ph + 1.0) * b.p1;
    b.p3 = b.ph / b.xll + b.p2;
    b.p4 = b.ph / b.xlr + b.p3;
    return b;
}

int BinomialRandom(int n, double p, Generator& generator) {
    const double q = 1.0 - p;
    const double np = static_cast<double>(n) * p;
    if (np < kInversionLimit) return SearchByInversion(generator, n, p, q);

    const BtpeSetup b = MakeBtpeSetup(n, p);
    for (;;) {
        const double u = UniformRandom(generator) * b.p4;
        double v = UniformRandom(generator);
        // Triangle: its points lie under the density, no test needed.
        if (u <= b.p1) return static_cast<int>(b.xm - v * b.p1 + u);

        int ix;
        if (u <= b.p2) {
            // Parallelograms beside the triangle.
            const double x = (u - b.p1) / b.ph + b.xl;
            v = v * b.ph + 1.0 - std::fabs(b.m - x + 0.5) / b.p1;
            if (v > 1.0) continue;
            ix = static_cast<int>(x);
        } else if (u <= b.p3) {
            // Left exponential tail. Compared as a double first: the value
            // truncates below 0 exactly when it is -1 or less, and the
            // comparison cannot overflow an int conversion.
            const double left = b.xl + std::log(v) / b.xll;
            if (left <= -1.0) continue;
            ix = static_cast<int>(left);
            v = (u - b.p2) * v * b.xll;
        } else {
            // Right exponential tail; truncates above n exactly when it is
            // n + 1 or more.
            const double right = b.xr - std::log(v) / b.xlr;
            if (right >= static_cast<double>(n) + 1.0) continue;
            ix = static_cast<int>(right);
            v = (u - b.p3) * v * b.xlr;
        }
        if (AcceptCandidate(ix, v, n, p, q, b)) return ix;
    }
}

}  // namespace selvane
