// log2 of the middles of 64 equal parts of [1, 2), c_i = 1 + (i + 1/2) / 64,
// as extLog2 gives them, rounded toward zero to double: the table of the
// exponent estimate in digit_loops.cpp. Written out, because computing them
// took the software fyl2x 64 times on the first numeral of every process,
// most of the time of a short run; tests check every entry against extLog2.
#ifndef VELTRANE_NUMERAL_LOG2_MIDDLES_H
#define VELTRANE_NUMERAL_LOG2_MIDDLES_H

constexpr int kLog2Middles = 64;

// The middle c_i itself, exact in double.
constexpr double log2Middle(int i) { return 1.0 + (i + 0.5) / kLog2Middles; }

constexpr double kLog2OfMiddle[kLog2Middles] = {
    0x1.6fe50b6ef0851p-7, 0x1.11cd1d5133412p-5, 0x1.c4dfab90aab5ep-5,
    0x1.3aa2fdd27f1c2p-4, 0x1.918a16e46335ap-4, 0x1.e72ec117fa5b2p-4,
    0x1.1dcd197552b7bp-3, 0x1.476a9f983f74dp-3, 0x1.70742d4ef027fp-3,
    0x1.98edd077e70dfp-3, 0x1.c0db6cdd94deep-3, 0x1.e840be74e6a4cp-3,
    0x1.0790adbb03009p-2, 0x1.1ac05b291f07p-2, 0x1.2db10fc4d9aafp-2,
    0x1.406463b1b0449p-2, 0x1.52dbdfc4c96b3p-2, 0x1.6518fe4677ba6p-2,
    0x1.771d2ba7efb3bp-2, 0x1.88e9c72e0b225p-2, 0x1.9a802391e232fp-2,
    0x1.abe18797f1f48p-2, 0x1.bd0f2e9e7903p-2, 0x1.ce0a4923a587cp-2,
    0x1.ded3fd442364cp-2, 0x1.ef6d67328e22p-2, 0x1.ffd799a83ff9ap-2,
    0x1.0809cf27f703dp-1, 0x1.10113b153c8eap-1, 0x1.18028cf72976ap-1,
    0x1.1fde3d30e8126p-1, 0x1.27a4c0585cbf8p-1, 0x1.2f56875eb3f26p-1,
    0x1.36f3ffb6d9162p-1, 0x1.3e7d9379f7016p-1, 0x1.45f3a98a20738p-1,
    0x1.4d56a5b33cec4p-1, 0x1.54a6e8ca5438dp-1, 0x1.5be4d0cb51434p-1,
    0x1.6310b8f553048p-1, 0x1.6a2af9e5a0f0ap-1, 0x1.7133e9b156c7bp-1,
    0x1.782bdbfdda657p-1, 0x1.7f1322182cf15p-1, 0x1.85ea0b0b27b26p-1,
    0x1.8cb0e3b4b3bbdp-1, 0x1.9367f6da0ab2ep-1, 0x1.9a0f8d3b0e04fp-1,
    0x1.a0a7eda4c112cp-1, 0x1.a7315d02f20c7p-1, 0x1.adac1e711c832p-1,
    0x1.b418734a9008bp-1, 0x1.ba769b39e4964p-1, 0x1.c0c6d447c5dd3p-1,
    0x1.c7095ae91e1c7p-1, 0x1.cd3e6a0ca8906p-1, 0x1.d3663b27f31d5p-1,
    0x1.d9810643d6614p-1, 0x1.df8f02086af2cp-1, 0x1.e59063c8822cep-1,
    0x1.eb855f8ca88fbp-1, 0x1.f16e281db763p-1, 0x1.f74aef0efafadp-1,
    0x1.fd1be4c7f2af9p-1,
};

#endif
