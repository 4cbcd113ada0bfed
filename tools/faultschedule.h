#pragma once
// CFaultSchedule: which frames of the simulated instrument carry a fault, and
// what the faulty bytes look like. Every `every`-th frame (the every-th, the
// 2×every-th, ...) is faulty; with several kinds, they take turns in the order
// given. Owned by the simulator; deterministic for a seed.
//
// What a reader sees of each fault:
//   BadParity         the frame with bit 6 of one of bytes 1..10 flipped (the
//                     byte moves on by one each time): that frame is rejected.
//   Garbage           2..40 random bytes, none a carriage return, before the
//                     frame: the reader gets one long frame and rejects it.
//   StrayLineFeed     a line feed after the frame's carriage return: the frame
//                     is accepted, the next one starts with the line feed and
//                     is rejected for its length.
//   NoCarriageReturn  the frame without its carriage return: it runs into the
//                     next frame, and the two are rejected as one.
//   Hangup            no bytes: the simulator closes the line instead of
//                     sending the frame (see CSimulator).

#include <random>
#include <string>
#include <vector>

class CFaultSchedule {
public:
    enum class Fault { None, BadParity, Garbage, StrayLineFeed, NoCarriageReturn, Hangup };

    // `every` >= 1; an empty list gives no faults.
    CFaultSchedule(std::vector<Fault> faults, int every, unsigned seed);

    // The fault of frame `index` (counted from 0), or None.
    Fault ForFrame(long long index) const;

    // The bytes to send for `frame` (a valid frame from CFrameEncoder) when it
    // carries `fault`. Hangup gives an empty string.
    std::string Corrupt(Fault fault, const std::string& frame);

    // The command-line names: bad-parity, garbage, stray-lf, no-cr, hangup.
    static bool ParseName(const std::string& name, Fault& fault);

private:
    std::vector<Fault> m_faults;
    int m_nEvery;
    int m_nBadParityCount = 0;
    std::mt19937 m_random;
};
