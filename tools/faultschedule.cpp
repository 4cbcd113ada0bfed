#include "tools/faultschedule.h"

#include "tools/frameencoder.h"

namespace {
constexpr int kMinGarbage = 2;
constexpr int kMaxGarbage = 40;
constexpr int kParityCheckedBytes = 10; // bytes 1..10
}

CFaultSchedule::CFaultSchedule(std::vector<Fault> faults, int every, unsigned seed)
    : m_faults(std::move(faults))
    , m_nEvery(every < 1 ? 1 : every)
    , m_random(seed)
{
}

CFaultSchedule::Fault CFaultSchedule::ForFrame(long long index) const
{
    if (m_faults.empty() || index < 0 || (index + 1) % m_nEvery != 0)
        return Fault::None;
    const long long turn = (index + 1) / m_nEvery - 1;
    return m_faults[static_cast<size_t>(turn % static_cast<long long>(m_faults.size()))];
}

std::string CFaultSchedule::Corrupt(Fault fault, const std::string& frame)
{
    switch (fault) {
    case Fault::None:
        return frame;
    case Fault::BadParity:
        return CFrameEncoder::WithBadParity(frame, 1 + m_nBadParityCount++ % kParityCheckedBytes);
    case Fault::Garbage: {
        std::uniform_int_distribution<int> length(kMinGarbage, kMaxGarbage);
        std::uniform_int_distribution<int> byte(0, 255);
        std::string bytes;
        for (int n = length(m_random); n > 0; --n) {
            int b = byte(m_random);
            // A carriage return would end a frame inside the noise and turn one
            // fault into several.
            if (b == 0x0D)
                b = 0x0C;
            bytes += char(b);
        }
        return bytes + frame;
    }
    case Fault::StrayLineFeed:
        return frame + '\n';
    case Fault::NoCarriageReturn:
        return frame.substr(0, frame.size() - 1);
    case Fault::Hangup:
        return {};
    }
    return frame;
}

bool CFaultSchedule::ParseName(const std::string& name, Fault& fault)
{
    if (name == "bad-parity")
        fault = Fault::BadParity;
    else if (name == "garbage")
        fault = Fault::Garbage;
    else if (name == "stray-lf")
        fault = Fault::StrayLineFeed;
    else if (name == "no-cr")
        fault = Fault::NoCarriageReturn;
    else if (name == "hangup")
        fault = Fault::Hangup;
    else
        return false;
    return true;
}
