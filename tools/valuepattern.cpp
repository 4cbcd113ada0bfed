#include "tools/valuepattern.h"

namespace {
constexpr int kRampSteps = 100;
// Each frame the slow offset keeps this share of itself and takes a random
// step, so it wanders but is always pulled back towards the base (it stays
// within about 7 steps of it on average).
constexpr double kDriftMemory = 0.99;
}

CValuePattern::CValuePattern(Kind kind, double base, double step, unsigned seed)
    : m_kind(kind)
    , m_dBase(base)
    , m_dStep(step)
    , m_random(seed)
{
}

double CValuePattern::Next()
{
    const long long frame = m_nFrame++;
    switch (m_kind) {
    case Kind::Constant:
        break;
    case Kind::Drift: {
        std::normal_distribution<double> walk(0.0, m_dStep);
        std::uniform_real_distribution<double> noise(-m_dStep, m_dStep);
        m_dOffset = kDriftMemory * m_dOffset + walk(m_random);
        return m_dBase + m_dOffset + noise(m_random);
    }
    case Kind::Ramp:
        return m_dBase + double(frame % kRampSteps) * m_dStep;
    }
    return m_dBase;
}

bool CValuePattern::ParseKind(const std::string& name, Kind& kind)
{
    if (name == "constant")
        kind = Kind::Constant;
    else if (name == "drift")
        kind = Kind::Drift;
    else if (name == "ramp")
        kind = Kind::Ramp;
    else
        return false;
    return true;
}
