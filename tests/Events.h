#pragma once

// MIDI events as every test writes and reads them, whatever the interface: a
// position and the message's bytes. The builders count channels from 1 to 16,
// as a musician does. And the worked block, which every format must answer
// byte for byte.

#include <cstdint>
#include <ios>
#include <ostream>
#include <vector>

struct Event
{
    int position = 0;
    std::vector<uint8_t> bytes;

    bool operator== (const Event& other) const { return position == other.position && bytes == other.bytes; }
};

using Events = std::vector<Event>;

inline std::ostream& operator<< (std::ostream& os, const Event& e)
{
    os << "@" << e.position << " [" << std::hex;
    for (size_t i = 0; i < e.bytes.size(); ++i)
        os << (i ? " " : "") << (int) e.bytes[i];
    return os << "]" << std::dec;
}

inline Event message (int status, int channel, int data1, int data2, int position)
{
    return { position, { (uint8_t) (status + channel - 1), (uint8_t) data1, (uint8_t) data2 } };
}

inline Event on (int channel, int note, int velocity, int position = 0) { return message (0x90, channel, note, velocity, position); }
inline Event off (int channel, int note, int velocity = 0, int position = 0) { return message (0x80, channel, note, velocity, position); }
inline Event cc (int channel, int controller, int value, int position = 0) { return message (0xb0, channel, controller, value, position); }
inline Event pb (int channel, int position = 0) { return message (0xe0, channel, 0x00, 0x40, position); }

inline Events operator+ (Events a, const Events& b)
{
    a.insert (a.end(), b.begin(), b.end());
    return a;
}

/** Note-ons (or note-offs, with velocity 0) of these notes, at the block start unless told. */
inline Events notes (int channel, std::initializer_list<int> keys, int velocity, bool turnOff = false, int position = 0)
{
    Events e;
    for (auto k : keys)
        e.push_back (turnOff ? off (channel, k, 0, position) : on (channel, k, velocity, position));
    return e;
}

/** The worked block, in two blocks of the default settings: what is played
    and what comes back. */
struct WorkedBlock
{
    Events played, answered;
};

inline const std::vector<WorkedBlock>& workedBlocks()
{
    static const Events cMajor = notes (1, { 36, 40, 43 }, 100);
    static const std::vector<WorkedBlock> blocks {
        { cMajor + Events { on (1, 72, 90, 100) }, cMajor + notes (2, { 60, 64, 67 }, 90) + Events { on (2, 72, 90, 100) } },
        { { on (1, 74, 80, 20), off (1, 72, 64, 30) },
          notes (2, { 60, 64, 67 }, 0, true) + notes (2, { 60, 64, 67 }, 90) + notes (2, { 60, 64, 67 }, 0, true)
              + notes (2, { 64, 67, 72 }, 80) + Events { on (2, 74, 80, 20), off (2, 72, 64, 30) } },
    };
    return blocks;
}
