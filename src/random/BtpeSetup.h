// The per-call constants of the BTPE binomial sampler (Kachitvichyanukul and
// Schmeiser): a triangle centred on the mode, two parallelograms beside it
// and two exponential tails. Internal; split out so that tests can check the
// setup on its own.
#ifndef SELVANE_RANDOM_BTPE_SETUP_H
#define SELVANE_RANDOM_BTPE_SETUP_H

namespace selvane {

struct BtpeSetup {
    double npq;  // variance n * p * q
    double ffm;  // n * p + p, whose integer part is the mode
    int m;       // the mode
    double p1;   // triangle half-width, also its area
    double xm;   // triangle centre
    double xl;   // left end of the triangle
    double xr;   // right end of the triangle
    double ph;   // parallelogram height
    double xll;  // rate of the left exponential tail
    double xlr;  // rate of the right exponential tail
    double p2;   // cumulative areas: triangle + parallelograms,
    double p3;   //   + left tail,
    double p4;   //   + right tail
};

// Caller guarantees n * p >= 30 and 0 < p <= 0.5.
BtpeSetup MakeBtpeSetup(int n, double p);

}  // namespace selvane

#endif  // SELVANE_RANDOM_BTPE_SETUP_H
