// Device-type names: the table of known machines keyed by (high nibble of byte 1, byte 2).
#include <algorithm>
#include <iterator>

#include "sonyname.h"

namespace {

struct DeviceEntry {
  uint16_t key;  // (high nibble of device byte 1) << 8 | device byte 2
  const char* name;
};

// Sorted by key; the low nibble of byte 1 carries the standard and is not part of the key.
constexpr DeviceEntry kDevices[] = {
    {0x000, "BVH-2000"},
    {0x001, "BVH-2000"},
    {0x010, "BVH-2000"},
    {0x011, "BVH-2000"},
    {0x014, "BVH-2000"},
    {0x015, "BVH-2000"},
    {0x018, "BVH-2180"},
    {0x019, "BVH-2180"},
    {0x01C, "BVH-2180"},
    {0x01D, "BVH-2180"},
    {0x020, "BVH-2500"},
    {0x024, "BVH-2500"},
    {0x030, "BVH-2700"},
    {0x040, "BVH-2800"},
    {0x044, "BVH-2800"},
    {0x048, "BVH-2830"},
    {0x04C, "BVH-2800"},
    {0x050, "BVH-3000"},
    {0x052, "BVH-3000"},
    {0x054, "BVH-3000"},
    {0x060, "BVH-3100"},
    {0x062, "BVH-3100"},
    {0x064, "BVH-3100"},
    {0x0A0, "P2MMC"},
    {0x0A1, "TG-2"},
    {0x0A2, "DVD"},
    {0x0A3, "P2DVD"},
    {0x0A5, "P2MMC-USB"},
    {0x0A6, "ZQ Glimpse"},
    {0x0B0, "ZQ Loom-Gen"},
    {0x0B1, "ZQ Loom-Rdr"},
    {0x0B2, "ZQ V.Mcn"},
    {0x0E0, "HDD-1000"},
    {0x0F0, "HDV-1000"},
    {0x0FF, "DMR-2000"},
    {0x100, "BVU-800"},
    {0x101, "BVU-820"},
    {0x102, "BVU-850"},
    {0x103, "BVU-870"},
    {0x112, "DAR-OMR-8"},
    {0x118, "BVU-900"},
    {0x119, "BVU-920"},
    {0x11C, "BVU-950"},
    {0x120, "SVO-5800"},
    {0x121, "SVP-5600"},
    {0x128, "SVP-9020"},
    {0x12C, "SVO-9620"},
    {0x134, "DAR-OMR-8"},
    {0x148, "VO-9800"},
    {0x14C, "VO-9850"},
    {0x180, "BVU-900"},
    {0x1E0, "NAGRA-T"},
    {0x1E1, "NAGRA-D"},
    {0x1F0, "VO-5850"},
    {0x1FF, "DMR-2000"},
    {0x200, "BVW-10"},
    {0x201, "BVW-40"},
    {0x202, "BVW-11"},
    {0x203, "BVW-15"},
    {0x210, "BVW-35"},
    {0x218, "BVW-35"},
    {0x220, "BVW-60"},
    {0x221, "BVW-65"},
    {0x222, "BVW-95"},
    {0x223, "BVW-96"},
    {0x224, "BVW-70"},
    {0x225, "BVW-75"},
    {0x226, "BVW-85"},
    {0x229, "BVW-65"},
    {0x22A, "BVW-95"},
    {0x22C, "BVW-70"},
    {0x22D, "BVW-75"},
    {0x22F, "WBR-700"},
    {0x230, "BVW-50"},
    {0x240, "PVW-2600"},
    {0x241, "PVW-2800"},
    {0x242, "PVW-2650"},
    {0x245, "BVW-D265"},
    {0x246, "BVW-D75"},
    {0x247, "BVW-9000"},
    {0x250, "UVW-1600"},
    {0x251, "UVW-1800"},
    {0x252, "UVW-1700"},
    {0x2A0, "SRW-5000"},
    {0x2A1, "SRW-5500"},
    {0x2E0, "HDW-500"},
    {0x2E2, "HDW-2000"},
    {0x2E3, "HDW-2000"},
    {0x2E4, "J-H3"},
    {0x2F0, "HDV-10"},
    {0x2F9, "HDV-500"},
    {0x300, "DVR-1000"},
    {0x303, "OMX-24"},
    {0x310, "DVR-2000"},
    {0x311, "DVR-2100"},
    {0x3E0, "BONSAI"},
    {0x400, "DVR-10"},
    {0x402, "DVR-C10"},
    {0x403, "DVR-18"},
    {0x410, "DVR-2"},
    {0x420, "DVR-20"},
    {0x421, "DVR-C10"},
    {0x422, "DVR-28"},
    {0x423, "DVR-P20"},
    {0x500, "APR-5003V"},
    {0x524, "APR-24"},
    {0x533, "AJD-750"},
    {0x602, "PCM-3402"},
    {0x603, "PCM-3324S"},
    {0x605, "PCM-3348HRV"},
    {0x607, "PCM-3348HR"},
    {0x700, "PCM-7030"},
    {0x701, "PCM-7050"},
    {0x702, "PCM-7010"},
    {0x703, "PCM-800"},
    {0x704, "PCM-7040"},
    {0x7A2, "ALESIS A1-2"},
    {0x7E0, "M20"},
    {0x7E1, "M20-16"},
    {0x7E2, "M20-24"},
    {0x7E3, "M20-32"},
    {0x7E4, "M20-40"},
    {0x7E5, "M20-48"},
    {0x7E6, "M20-56"},
    {0x7E7, "M20-64"},
    {0x801, "DRU-8"},
    {0x808, "EVO-9800"},
    {0x80C, "EVO-9850"},
    {0x810, "DSR-85"},
    {0x811, "DSR-80"},
    {0x812, "DSR-60"},
    {0x900, "DEM-1000"},
    {0x910, "HDDF-500"},
    {0xA00, "ASC-VR"},
    {0xA01, "LVR-5/6000"},
    {0xA02, "LVR-3/4000"},
    {0xA07, "M2 AU-750"},
    {0xA10, "LVA-7/8000"},
    {0xA11, "LVA=3/4000"},
    {0xA20, "CDP-3100"},
    {0xA30, "PCM-9000"},
    {0xA40, "BKDE-550"},
    {0xA4D, "Gallery"},
    {0xA50, "DOREMI V1"},
    {0xA80, "AG-7750"},
    {0xA81, "AG-7650"},
    {0xA82, "DS-850"},
    {0xA86, "AG-8700"},
    {0xAF0, "HDL-5800"},
    {0xB00, "DVW-A500"},
    {0xB01, "DVW-A510"},
    {0xB02, "DVW-CA500"},
    {0xB03, "DVW-CA510"},
    {0xB10, "DVW-500"},
    {0xB11, "DVW-510"},
    {0xB12, "DVW-C500"},
    {0xB13, "DVW-C510"},
    {0xB30, "DVW-250"},
    {0xB40, "DNW-A100"},
    {0xB41, "DNW-A100"},
    {0xB45, "DNW-A45/50/46"},
    {0xB46, "DNW-A75"},
    {0xB48, "DNW-A30"},
    {0xB49, "DNW-A75"},
    {0xB4A, "DNW-A220"},
    {0xB4C, "DNW-A220"},
    {0xB60, "MSW-M2000"},
    {0xB70, "J30-SDI"},
    {0xD00, "DME-5000"},
    {0xD01, "VMOD-100/DME-9000"},
    {0xD02, "DME-3000"},
    {0xD10, "SSL-Screensound"},
    {0xD11, "SL 9000J"},
    {0xD12, "SSL-Axiom"},
    {0xD13, "APS"},
    {0xD14, "DMC/Scenaria"},
    {0xD15, "Omnimix"},
    {0xD16, "VisionTrack"},
    {0xD17, "Aysis Air"},
    {0xD18, "Avant"},
    {0xD19, "Axiom MT"},
    {0xD30, "MAV-1000"},
    {0xD31, "MAV-1200"},
    {0xD40, "DME-9000"},
    {0xD50, "DADR-5000"},
    {0xD51, "DADR-5032"},
    {0xD52, "DADR-5048"},
    {0xD53, "DADR-5064"},
    {0xD81, "DPS-PVR"},
    {0xD90, "DN-C680"},
    {0xD91, "DN-M51050R"},
    {0xDA0, "MX2424"},
    {0xDA1, "AVID A/S 8"},
    {0xDA2, "AVID A/S 16"},
    {0xDA3, "AVID A/S 32"},
    {0xDA8, "AVID A/V 4"},
    {0xDA9, "AVID A/V 8"},
    {0xDAA, "AVID A/V 16"},
    {0xDAB, "AVID A/V 32"},
    {0xDB0, "Radar"},
    {0xDC0, "Genex GX2000"},
    {0xDC1, "Genex GX8000"},
    {0xDC2, "Genex GX8016/OMX 24"},
    {0xDC3, "Genex GX8024"},
    {0xDC4, "Genex GX8032"},
    {0xDC5, "Genex GX8040"},
    {0xDC6, "Genex GX8048"},
    {0xDC7, "Genex GX8056"},
    {0xDC8, "Genex GX8064"},
    {0xDD0, "Dolby Drive"},
    {0xDD1, "Dolby Drive"},
    {0xDD4, "dAVE SP"},
    {0xDE1, "Pro-Tools"},
    {0xDF3, "ZETA 3"},
    {0xDF8, "ZQ Kestrel"},
    {0xDF9, "LANK I/F"},
    {0xDFA, "NuendoTM"},
    {0xDFB, "NuendoSS"},
    {0xE20, "X-Dubber"},
    {0xF00, "CR-850/BCN-50"},
    {0xF02, "BCN-52"},
    {0xF03, "CR-850/BCN-50/VPR-3"},
    {0xF04, "ABEKAS A64/VPR-3"},
    {0xF05, "ABEKAS A60/VPR-3"},
    {0xF06, "ABEKAS A53/VPR-3"},
    {0xF07, "VPR-6"},
    {0xF08, "ABEKAS A53/A57"},
    {0xF09, "DCR-100"},
    {0xF0A, "KR-M800"},
    {0xF0B, "SA-F911/BRS-662"},
    {0xF0C, "VL-D500"},
    {0xF0D, "VL-D505"},
    {0xF0E, "VL-S100"},
    {0xF0F, "FOSTEX G-24"},
    {0xF10, "FOSTEX"},
    {0xF11, "ABEKAS A84"},
    {0xF12, "ABEKAS A82"},
    {0xF13, "VPR 2/300"},
    {0xF14, "VPR-305"},
    {0xF15, "VDR-V100"},
    {0xF16, "VDR-V100"},
    {0xF17, "VDR-V100"},
    {0xF18, "VDR-V100"},
    {0xF19, "AJ-D350"},
    {0xF1B, "DA-60"},
    {0xF1C, "DA-30"},
    {0xF1D, "DA-88"},
    {0xF1E, "HD-1200"},
    {0xF1F, "BR-S822E"},
    {0xF20, "Quickframe"},
    {0xF21, "RTD-4224"},
    {0xF22, "RCI-5/625"},
    {0xF23, "RCI HD rt"},
    {0xF24, "RCD HD nonrt"},
    {0xF25, "DCT"},
    {0xF26, "BR-S800E/DCT700"},
    {0xF27, "DTR-90"},
    {0xF28, "DTR-90"},
    {0xF29, "MotionWork"},
    {0xF2A, "Studer D424"},
    {0xF30, "Panosonic D-5"},
    {0xF31, "9601"},
    {0xF32, "BR-S85E"},
    {0xF33, "AJD750/DVCPRO"},
    {0xF34, "DR-8"},
    {0xF35, "DR-16"},
    {0xF36, "DD-1500"},
    {0xF39, "DD-8"},
    {0xF3A, "BR-D92E"},
    {0xF3C, "ES/2"},
    {0xF43, "TCR-4"},
    {0xF44, "TCR-8"},
    {0xF88, "SONDOR"},
    {0xFA0, "MFX-3"},
    {0xFA1, "Vivid"},
    {0xFA2, "MFX-3A"},
    {0xFB2, "Merging"},
    {0xFD1, "StarSync"},
    {0xFE0, "MOSAIC"},
};

constexpr uint16_t kTascamKey = 0xF1A;  // shared by several makers, told apart by the fourth byte

constexpr bool IsSorted() {
  for (std::size_t i = 1; i < std::size(kDevices); ++i) {
    if (kDevices[i - 1].key >= kDevices[i].key) return false;
  }
  return true;
}
static_assert(IsSorted(), "device table must be sorted by key for the binary search");

std::string TascamFamilyName(const SonyMessage& message) {
  if (message.DataCount() != 4) return "Tascam";
  switch (message.Data(4)) {
    case 0xC1:
      return "MMR-8";
    case 0xC2:
      return "MRP-16";
    case 0xC4:
      return "MX2424";
    default:
      return "Tascam";
  }
}

std::string StandardSuffix(uint8_t b1, bool dropFrame) {
  switch (b1 & 0x0F) {
    case 0:
      return dropFrame ? " NTSC d" : " NTSC nd";
    case 1:
      return " PAL";
    case 2:
      return " Film";
    default:
      return "";
  }
}

}  // namespace

std::string DeviceTypeName(const SonyMessage& message, bool dropFrame) {
  const uint8_t b1 = message.Data(1);
  const uint8_t b2 = message.Data(2);
  std::string name = "$" + HexByte(b1) + HexByte(b2);

  const auto key = static_cast<uint16_t>(((b1 >> 4) << 8) | b2);
  if (key == kTascamKey) {
    name = TascamFamilyName(message);
  } else {
    const auto* found =
        std::lower_bound(std::begin(kDevices), std::end(kDevices), key,
                         [](const DeviceEntry& e, uint16_t k) { return e.key < k; });
    if (found != std::end(kDevices) && found->key == key) name = found->name;
  }

  if (message.DataCount() == 3)
    name += static_cast<char>(static_cast<uint8_t>(message.Data(3) + 64));
  return name + StandardSuffix(b1, dropFrame);
}
