#include "core/Main.h"

// Methods of this family that this build does not offer yet.
namespace quillmere {

bool Main::DLL_TimeAdd(LongArray& /*TimeStamp*/, LongArray& /*TimeLowHi*/) const {
  throwNotAvailable(48);
}

bool Main::DLL_TimeAddZero(LongArray& /*TimeStamp*/, StringArray& /*TimeStampAddZero*/) const {
  throwNotAvailable(49);
}

bool Main::DLL_TimeBunri(LongArray& /*TimeLowHi*/, LongArray& /*TimeStamp*/) const {
  throwNotAvailable(50);
}

bool Main::DLL_TimeConvert(StringArray& /*TimeStamp*/, LongArray& /*TimeLowHi*/) const {
  throwNotAvailable(51);
}

bool Main::DLL_TimeGet(const std::string& /*InFileName*/, LongArray& /*TimeLowHi*/) const {
  throwNotAvailable(52);
}

bool Main::DLL_TimePut(const std::string& /*SetFileName*/, LongArray& /*TimeLowHi*/) const {
  throwNotAvailable(53);
}

void Main::DLL_TimePutConst(const std::string& /*InFileName*/, std::int32_t /*TimeLow*/,
                            std::int32_t /*TimeHi*/) const {
  throwNotAvailable(54);
}

bool Main::DLL_TimeUpdate(LongArray& /*MasterTimeHiLow*/, LongArray& /*SlaveTimeHiLow*/) const {
  throwNotAvailable(55);
}

std::int32_t Main::DLL_TimeWeekDay(std::int32_t& /*Year*/, std::int32_t& /*Month*/,
                                   std::int32_t& /*Day*/) const {
  throwNotAvailable(56);
}

void Main::DLL_Date(std::string& /*DateYYYY*/, std::string& /*DateMM*/,
                    std::string& /*DateDD*/) const {
  throwNotAvailable(106);
}

bool Main::DLL_TakeDate(const std::string& /*FileName*/, std::int32_t /*File_Byte*/,
                        LongArray& /*TakeDate*/, float /*TimeOut*/) const {
  throwNotAvailable(134);
}

void Main::DLL_Time(std::string& /*TimeHH*/, std::string& /*TimeMM*/,
                    std::string& /*TimeSS*/) const {
  throwNotAvailable(135);
}

std::int32_t Main::DLL_TotalDays(std::int32_t /*Dyyyy*/, std::int32_t /*Dmm*/,
                                 std::int32_t /*Ddd*/) const {
  throwNotAvailable(137);
}

bool Main::DLL_Wait(std::int32_t /*Sec*/) const {
  throwNotAvailable(139);
}

}  // namespace quillmere
