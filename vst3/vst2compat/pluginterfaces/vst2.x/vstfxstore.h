#pragma once

// The VST 2 bank record that the framework's VST3 wrapper writes around the
// settings chunk, and reads from a host that hands over a VST 2 plug-in's
// state, so that the VST3 plug-in can stand in for the VST 2 one. Written
// from the published bank-file layout ("CcnK", "FBCh"; every field
// big-endian). The wrapper includes it inside a namespace of its own, so it
// includes nothing and uses only int, which is 32 bits wide on every target.

struct fxBank
{
    int chunkMagic; // "CcnK"
    int byteSize; // of the rest, from fxMagic on
    int fxMagic; // "FBCh": a bank that holds one chunk
    int version;
    int fxID; // the VST 2 plug-in's unique identifier
    int fxVersion;
    int numPrograms;
    char future[128];

    union
    {
        struct
        {
            int size;
            char chunk[8]; // in truth `size` bytes, at offset 160
        } data;
    } content;
};
