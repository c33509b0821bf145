#include "media/h264parser.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "media/bitreader.h"

namespace {

// Slice headers are short; a longer prefix is unescaped only when the
// first one runs out (long weight tables).
constexpr size_t kSliceHeaderBytes = 96;

// Largest picture any level allows, in macroblocks, and in macroblocks
// across or down.
constexpr uint32_t kMaxFrameMbs = 139264;
constexpr uint32_t kMaxMbsAcross = 1055;

// Exp-Golomb values checked against the range the syntax allows: a value
// outside it is damage, and trusting it could make a loop or a shift run
// away.
uint32_t UeUpTo(TBitReader &r, uint32_t max, const char *what)
{
    uint32_t value = r.Ue();
    if (value > max)
        throw std::runtime_error(std::string("invalid ") + what);
    return value;
}

int32_t SeWithin(TBitReader &r, int32_t min, int32_t max, const char *what)
{
    int32_t value = r.Se();
    if (value < min || value > max)
        throw std::runtime_error(std::string("invalid ") + what);
    return value;
}

void SkipScalingList(TBitReader &r, int size)
{
    int32_t last = 8, next = 8;
    for (int j = 0; j < size; ++j) {
        if (next != 0)
            next = (last + SeWithin(r, -128, 127, "scaling list") + 256) % 256;  // delta_scale
        last = next == 0 ? last : next;
    }
}

// Reads HRD parameters; returns the highest of their bit rates, in bit/s.
uint64_t ParseHrd(TBitReader &r)
{
    uint32_t count = UeUpTo(r, 31, "HRD parameters") + 1;
    uint32_t bitRateScale = r.Bits(4);
    r.Bits(4);  // cpb_size_scale
    uint64_t highest = 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint64_t bitRateValue = uint64_t(r.Ue()) + 1;
        highest = std::max(highest, bitRateValue << (6 + bitRateScale));
        r.Ue();  // cpb_size_value_minus1
        r.Flag();  // cbr_flag
    }
    // initial_cpb_removal_delay_length_minus1, cpb_removal_delay_length_minus1,
    // dpb_output_delay_length_minus1 and time_offset_length, 5 bits each.
    r.Bits(20);
    return highest;
}

// Sample aspect ratios of aspect_ratio_idc 1 to 16 (Table E-1).
constexpr std::array<std::array<uint8_t, 2>, 16> kSampleAspects = {{{1, 1},
                                                                    {12, 11},
                                                                    {10, 11},
                                                                    {16, 11},
                                                                    {40, 33},
                                                                    {24, 11},
                                                                    {20, 11},
                                                                    {32, 11},
                                                                    {80, 33},
                                                                    {18, 11},
                                                                    {15, 11},
                                                                    {64, 33},
                                                                    {160, 99},
                                                                    {4, 3},
                                                                    {3, 2},
                                                                    {2, 1}}};
constexpr uint32_t kExtendedSar = 255;

void ParseVui(TBitReader &r, TH264Sps &sps)
{
    if (r.Flag()) {  // aspect ratio
        uint32_t idc = r.Bits(8);
        if (idc == kExtendedSar) {
            sps.SarWidth = r.Bits(16);
            sps.SarHeight = r.Bits(16);
        } else if (idc >= 1 && idc <= kSampleAspects.size()) {
            sps.SarWidth = kSampleAspects[idc - 1][0];
            sps.SarHeight = kSampleAspects[idc - 1][1];
        }
    }
    if (r.Flag())  // overscan_info_present_flag
        r.Flag();  // overscan_appropriate_flag
    if (r.Flag()) {  // video_signal_type_present_flag
        r.Bits(4);  // video_format (3), video_full_range_flag
        if (r.Flag())  // colour_description_present_flag
            r.Bits(24);  // colour_primaries, transfer_characteristics, matrix_coefficients
    }
    if (r.Flag()) {  // chroma_loc_info_present_flag
        r.Ue();  // chroma_sample_loc_type_top_field
        r.Ue();  // chroma_sample_loc_type_bottom_field
    }
    if (r.Flag()) {  // timing_info_present_flag
        sps.NumUnitsInTick = r.Bits(32);
        sps.TimeScale = r.Bits(32);
        r.Flag();  // fixed_frame_rate_flag
    }
    bool nalHrd = r.Flag();
    if (nalHrd)
        sps.NalHrdBitRate = ParseHrd(r);
    bool vclHrd = r.Flag();
    if (vclHrd)
        ParseHrd(r);
    if (nalHrd || vclHrd)
        r.Flag();  // low_delay_hrd_flag
    r.Flag();  // pic_struct_present_flag
    if (r.Flag()) {  // bitstream_restriction_flag
        r.Flag();  // motion_vectors_over_pic_boundaries_flag
        r.Ue();  // max_bytes_per_pic_denom
        r.Ue();  // max_bits_per_mb_denom
        r.Ue();  // log2_max_mv_length_horizontal
        r.Ue();  // log2_max_mv_length_vertical
        sps.MaxNumReorderFrames = UeUpTo(r, 16, "reorder depth");
        r.Ue();  // max_dec_frame_buffering
    }
}

bool HasChromaFormat(uint8_t profile)
{
    switch (profile) {
    case 100:
    case 110:
    case 122:
    case 244:
    case 44:
    case 83:
    case 86:
    case 118:
    case 128:
    case 138:
    case 139:
    case 134:
    case 135: return true;
    default: return false;
    }
}

void SkipRefPicListModification(TBitReader &r)
{
    if (!r.Flag())  // ref_pic_list_modification_flag_l0 or _l1
        return;
    for (;;) {
        uint32_t idc = r.Ue();  // modification_of_pic_nums_idc
        if (idc == 3)
            return;
        if (idc > 5)
            throw std::runtime_error("invalid reference list modification");
        // abs_diff_pic_num_minus1, long_term_pic_num or abs_diff_view_idx_minus1
        UeUpTo(r, 131071, "reference list modification");
    }
}

void SkipPredWeightTable(TBitReader &r, const TH264Sps &sps, uint32_t l0, uint32_t l1, bool b)
{
    UeUpTo(r, 7, "luma weight denominator");
    bool chroma = sps.ChromaArrayType() != 0;
    if (chroma)
        UeUpTo(r, 7, "chroma weight denominator");
    for (int list = 0; list < (b ? 2 : 1); ++list) {
        for (uint32_t i = 0; i < (list == 0 ? l0 : l1); ++i) {
            if (r.Flag()) {  // luma_weight_flag
                SeWithin(r, -128, 127, "luma weight");
                SeWithin(r, -128, 127, "luma offset");
            }
            if (chroma && r.Flag()) {  // chroma_weight_flag
                for (int j = 0; j < 4; ++j)
                    SeWithin(r, -512, 511, "chroma weight");
            }
        }
    }
}

// Returns true when the marking holds memory_management_control_operation 5.
bool ParseDecRefPicMarking(TBitReader &r, bool idr)
{
    if (idr) {
        r.Bits(2);  // no_output_of_prior_pics_flag, long_term_reference_flag
        return false;
    }
    if (!r.Flag())  // adaptive_ref_pic_marking_mode_flag
        return false;
    bool mmco5 = false;
    for (;;) {
        uint32_t op = r.Ue();
        if (op == 0)
            return mmco5;
        if (op > 6)
            throw std::runtime_error("invalid memory management operation");
        if (op == 1 || op == 3)
            r.Ue();  // difference_of_pic_nums_minus1
        if (op == 2)
            r.Ue();  // long_term_pic_num
        if (op == 3 || op == 6)
            r.Ue();  // long_term_frame_idx
        if (op == 4)
            r.Ue();  // max_long_term_frame_idx_plus1
        if (op == 5)
            mmco5 = true;
    }
}

}  // namespace

TH264Sps ParseSps(const uint8_t *nal, size_t size)
{
    std::vector<uint8_t> rbsp = UnescapeNal(nal + 1, size > 0 ? size - 1 : 0);
    TBitReader r(rbsp.data(), rbsp.size());
    TH264Sps sps;
    sps.ProfileIdc = uint8_t(r.Bits(8));
    r.Bits(8);  // constraint_set0_flag to constraint_set5_flag, reserved_zero_2bits
    sps.LevelIdc = uint8_t(r.Bits(8));
    sps.Id = r.Ue();
    if (sps.Id > 31)
        throw std::runtime_error("invalid sequence parameter set id");
    if (HasChromaFormat(sps.ProfileIdc)) {
        sps.ChromaFormatIdc = UeUpTo(r, 3, "chroma format");
        if (sps.ChromaFormatIdc == 3)
            sps.SeparateColourPlane = r.Flag();
        UeUpTo(r, 6, "luma bit depth");
        UeUpTo(r, 6, "chroma bit depth");
        r.Flag();  // qpprime_y_zero_transform_bypass_flag
        if (r.Flag()) {  // seq_scaling_matrix_present_flag
            for (int i = 0; i < (sps.ChromaFormatIdc != 3 ? 8 : 12); ++i)
                if (r.Flag())  // seq_scaling_list_present_flag[i]
                    SkipScalingList(r, i < 6 ? 16 : 64);
        }
    }
    sps.Log2MaxFrameNum = r.Ue() + 4;
    sps.PocType = r.Ue();
    if (sps.Log2MaxFrameNum > 16 || sps.PocType > 2)
        throw std::runtime_error("invalid sequence parameter set");
    if (sps.PocType == 0) {
        sps.Log2MaxPocLsb = r.Ue() + 4;
        if (sps.Log2MaxPocLsb > 16)
            throw std::runtime_error("invalid sequence parameter set");
    } else if (sps.PocType == 1) {
        sps.DeltaPicOrderAlwaysZero = r.Flag();
        sps.OffsetForNonRefPic = r.Se();
        sps.OffsetForTopToBottomField = r.Se();
        uint32_t cycle = r.Ue();
        if (cycle > 255)
            throw std::runtime_error("invalid sequence parameter set");
        for (uint32_t i = 0; i < cycle; ++i)
            sps.OffsetForRefFrame.push_back(r.Se());
    }
    sps.MaxNumRefFrames = UeUpTo(r, 16, "number of reference frames");
    r.Flag();  // gaps_in_frame_num_value_allowed_flag
    uint32_t widthMbs = UeUpTo(r, kMaxMbsAcross - 1, "picture width") + 1;
    uint32_t heightMapUnits = UeUpTo(r, kMaxMbsAcross - 1, "picture height") + 1;
    sps.FrameMbsOnly = r.Flag();
    if (!sps.FrameMbsOnly)
        r.Flag();  // mb_adaptive_frame_field_flag
    r.Flag();  // direct_8x8_inference_flag
    uint32_t cropLeft = 0, cropRight = 0, cropTop = 0, cropBottom = 0;
    if (r.Flag()) {  // frame_cropping_flag
        cropLeft = r.Ue();
        cropRight = r.Ue();
        cropTop = r.Ue();
        cropBottom = r.Ue();
    }
    uint32_t chroma = sps.ChromaArrayType();
    uint32_t cropUnitX = (chroma == 1 || chroma == 2) ? 2 : 1;
    uint32_t cropUnitY = (chroma == 1 ? 2 : 1) * (sps.FrameMbsOnly ? 1 : 2);
    const uint32_t fullWidth = widthMbs * 16;
    const uint32_t fullHeight = heightMapUnits * 16 * (sps.FrameMbsOnly ? 1 : 2);
    if (widthMbs * (fullHeight / 16) > kMaxFrameMbs)
        throw std::runtime_error("invalid picture size");
    // Each crop offset alone is below the size, so their sum cannot overflow.
    if (cropLeft >= fullWidth || cropRight >= fullWidth || cropTop >= fullHeight || cropBottom >= fullHeight
        || cropUnitX * (cropLeft + cropRight) >= fullWidth
        || cropUnitY * (cropTop + cropBottom) >= fullHeight)
        throw std::runtime_error("invalid cropping");
    sps.Width = fullWidth - cropUnitX * (cropLeft + cropRight);
    sps.Height = fullHeight - cropUnitY * (cropTop + cropBottom);
    if (r.Flag()) {  // vui_parameters_present_flag
        // A damaged VUI only loses the optional timing hints.
        try {
            ParseVui(r, sps);
        } catch (const std::runtime_error &) {
        }
    }
    return sps;
}

TH264Pps ParsePps(const uint8_t *nal, size_t size)
{
    std::vector<uint8_t> rbsp = UnescapeNal(nal + 1, size > 0 ? size - 1 : 0);
    TBitReader r(rbsp.data(), rbsp.size());
    TH264Pps pps;
    pps.Id = r.Ue();
    pps.SpsId = r.Ue();
    if (pps.Id > 255 || pps.SpsId > 31)
        throw std::runtime_error("invalid picture parameter set id");
    r.Flag();  // entropy_coding_mode_flag
    pps.BottomFieldPicOrderInFramePresent = r.Flag();
    uint32_t sliceGroups = UeUpTo(r, 7, "number of slice groups") + 1;
    if (sliceGroups > 1) {
        uint32_t mapType = UeUpTo(r, 6, "slice group map type");
        if (mapType == 0) {
            for (uint32_t i = 0; i < sliceGroups; ++i)
                UeUpTo(r, kMaxFrameMbs - 1, "slice group run length");
        } else if (mapType == 2) {
            for (uint32_t i = 0; i + 1 < sliceGroups; ++i) {
                UeUpTo(r, kMaxFrameMbs - 1, "slice group corner");
                UeUpTo(r, kMaxFrameMbs - 1, "slice group corner");
            }
        } else if (mapType >= 3 && mapType <= 5) {
            r.Flag();  // slice_group_change_direction_flag
            UeUpTo(r, kMaxFrameMbs - 1, "slice group change rate");
        } else if (mapType == 6) {
            uint32_t units = UeUpTo(r, kMaxFrameMbs - 1, "slice group map size") + 1;
            int bits = 0;
            while ((1u << bits) < sliceGroups)
                ++bits;
            for (uint32_t i = 0; i < units; ++i)
                r.Bits(bits);  // slice_group_id[i]
        }
    }
    pps.NumRefIdxL0Default = UeUpTo(r, 31, "number of reference indices") + 1;
    pps.NumRefIdxL1Default = UeUpTo(r, 31, "number of reference indices") + 1;
    pps.WeightedPred = r.Flag();
    pps.WeightedBipredIdc = r.Bits(2);
    if (pps.WeightedBipredIdc > 2)
        throw std::runtime_error("invalid weighted prediction");
    SeWithin(r, -26 - 48, 25, "initial quantiser");  // pic_init_qp_minus26
    SeWithin(r, -26, 25, "initial quantiser");  // pic_init_qs_minus26
    SeWithin(r, -12, 12, "chroma quantiser offset");  // chroma_qp_index_offset
    r.Flag();  // deblocking_filter_control_present_flag
    r.Flag();  // constrained_intra_pred_flag
    pps.RedundantPicCntPresent = r.Flag();
    return pps;
}

const TH264Sps &TH264ParamSets::AddSps(const uint8_t *nal, size_t size)
{
    TH264Sps sps = ParseSps(nal, size);
    return FSps[sps.Id].emplace(std::move(sps));
}

const TH264Pps &TH264ParamSets::AddPps(const uint8_t *nal, size_t size)
{
    TH264Pps pps = ParsePps(nal, size);
    return FPps[pps.Id].emplace(pps);
}

const TH264Sps *TH264ParamSets::Sps(uint32_t id) const
{
    return id < FSps.size() && FSps[id] ? &*FSps[id] : nullptr;
}

const TH264Pps *TH264ParamSets::Pps(uint32_t id) const
{
    return id < FPps.size() && FPps[id] ? &*FPps[id] : nullptr;
}

TH264SliceHeader TH264ParamSets::ParseSlice(const uint8_t *nal, size_t size) const
{
    size_t payload = size > 0 ? size - 1 : 0;
    if (payload > kSliceHeaderBytes) {
        try {
            return ParseSliceHeader(nal, UnescapeNal(nal + 1, payload, kSliceHeaderBytes));
        } catch (const std::runtime_error &) {
            // Retried below with the whole NAL unit.
        }
    }
    return ParseSliceHeader(nal, UnescapeNal(nal + 1, payload));
}

TH264SliceHeader TH264ParamSets::ParseSliceHeader(const uint8_t *nal, const std::vector<uint8_t> &rbsp) const
{
    TBitReader r(rbsp.data(), rbsp.size());
    TH264SliceHeader h;
    h.NalType = nal[0] & 0x1F;
    h.NalRefIdc = (nal[0] >> 5) & 3;
    h.FirstMb = UeUpTo(r, kMaxFrameMbs - 1, "first macroblock");
    uint32_t type = r.Ue();
    if (type > 9)
        throw std::runtime_error("invalid slice type");
    h.SliceType = ESliceType(type % 5);
    h.PpsId = r.Ue();
    const TH264Pps *pps = this->Pps(h.PpsId);
    if (!pps)
        throw std::runtime_error("slice refers to missing picture parameter set " + std::to_string(h.PpsId));
    const TH264Sps *sps = this->Sps(pps->SpsId);
    if (!sps)
        throw std::runtime_error("slice refers to missing sequence parameter set "
                                 + std::to_string(pps->SpsId));
    if (sps->SeparateColourPlane)
        r.Bits(2);  // colour_plane_id
    h.FrameNum = r.Bits(int(sps->Log2MaxFrameNum));
    if (!sps->FrameMbsOnly) {
        h.FieldPic = r.Flag();
        if (h.FieldPic)
            h.BottomField = r.Flag();
    }
    if (h.Idr())
        h.IdrPicId = UeUpTo(r, 65535, "IDR picture id");
    if (sps->PocType == 0) {
        h.PocLsb = r.Bits(int(sps->Log2MaxPocLsb));
        if (pps->BottomFieldPicOrderInFramePresent && !h.FieldPic)
            h.DeltaPocBottom = r.Se();
    } else if (sps->PocType == 1 && !sps->DeltaPicOrderAlwaysZero) {
        h.DeltaPoc[0] = r.Se();
        if (pps->BottomFieldPicOrderInFramePresent && !h.FieldPic)
            h.DeltaPoc[1] = r.Se();
    }
    if (h.NalRefIdc == 0)
        return h;
    // Only reference pictures can carry the marking that resets the order count.
    if (pps->RedundantPicCntPresent)
        r.Ue();  // redundant_pic_cnt
    bool b = h.SliceType == ESliceType::B;
    bool p = h.SliceType == ESliceType::P || h.SliceType == ESliceType::SP;
    if (b)
        r.Flag();  // direct_spatial_mv_pred_flag
    uint32_t l0 = pps->NumRefIdxL0Default, l1 = pps->NumRefIdxL1Default;
    if ((p || b) && r.Flag()) {  // num_ref_idx_active_override_flag
        l0 = UeUpTo(r, 31, "number of reference indices") + 1;
        if (b)
            l1 = UeUpTo(r, 31, "number of reference indices") + 1;
    }
    if (!h.Intra())
        SkipRefPicListModification(r);
    if (b)
        SkipRefPicListModification(r);
    if ((pps->WeightedPred && p) || (pps->WeightedBipredIdc == 1 && b))
        SkipPredWeightTable(r, *sps, l0, l1, b);
    h.HasMmco5 = ParseDecRefPicMarking(r, h.Idr());
    return h;
}

bool IsSecondField(const TH264SliceHeader &first, const TH264SliceHeader &second)
{
    return first.FieldPic && second.FieldPic && first.BottomField != second.BottomField
           && first.FrameNum == second.FrameNum && !second.Idr() && !second.HasMmco5;
}
