// Fuzz target: ".thread", ".res" and ".info" bytes as the store decodes them.
// A record that decodes must encode to bytes that decode and encode to the
// same bytes again, and a decoded record never reads past its bytes.
#include "FuzzSupport.h"

#include "store/FieldCoding.h"
#include "store/ResRecord.h"
#include "store/ThreadRecord.h"

namespace {

template <typename TRecord, typename TDecode, typename TEncode>
void CheckStable(std::string_view bytes, TDecode decode, TEncode encode) {
    TRecord record;
    if (!(record.*decode)(bytes))
        return;
    const std::string once = (record.*encode)();
    fuzz::Check(once.size() <= bytes.size() + 2); // cut texts only shrink
    TRecord again;
    fuzz::Check((again.*decode)(once));
    fuzz::Check((again.*encode)() == once);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzz::Text(data, size);
    CheckStable<CThreadRecord>(bytes, &CThreadRecord::DecodeThread, &CThreadRecord::EncodeThread);
    CheckStable<CResRecord>(bytes, &CResRecord::Decode, &CResRecord::Encode);

    CThreadRecord info;
    info.DecodeInfo(bytes);
    if (bytes.size() >= CThreadRecord::kInfoSize)
        fuzz::Check(info.EncodeInfo() == bytes.substr(0, CThreadRecord::kInfoSize));

    CBinaryId threadId, resId;
    if (CResRecord::PeekIds(bytes, threadId, resId))
        fuzz::Check(bytes.size() >= 2 * field::kIdSize);

    field::CFieldReader reader(bytes);
    std::vector<CBinaryId> ids;
    reader.ReadIdList(ids);
    fuzz::Check(ids.size() == bytes.size() / field::kIdSize);
    return 0;
}
