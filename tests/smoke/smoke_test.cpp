#include <windows.h>
#include <gtest/gtest.h>
TEST(Smoke, LoadsPlugin)
{
    HMODULE m = LoadLibraryA("..\\bin\\EXTAVIK.dll");
    ASSERT_NE(m, nullptr) << GetLastError();
    auto wep = reinterpret_cast<int(WINAPI*)(int)>(reinterpret_cast<void*>(GetProcAddress(m, "WEP")));
    ASSERT_NE(wep, nullptr);
    EXPECT_EQ(wep(0), 1);
    EXPECT_EQ(GetACP(), 932u);
}
