#pragma once
// CValuePattern: the pressure values the simulated instrument measures, one per
// frame. Plain value object, owned by the simulator; deterministic for a seed.

#include <random>
#include <string>

class CValuePattern {
public:
    enum class Kind {
        Constant, // always the base value
        Drift,    // wanders slowly around the base, plus one step of noise
        Ramp,     // base, base + step, ... 99 steps up, then back to base
    };

    // `step` is the instrument's resolution in the value's unit (0.1 for
    // tenths, 1 for whole units); drift and ramp move in such steps.
    CValuePattern(Kind kind, double base, double step, unsigned seed);

    // The value of the next frame.
    double Next();

    // "constant", "drift" or "ramp".
    static bool ParseKind(const std::string& name, Kind& kind);

private:
    Kind m_kind;
    double m_dBase;
    double m_dStep;
    long long m_nFrame = 0;
    double m_dOffset = 0.0; // the slow part of the drift
    std::mt19937 m_random;
};
