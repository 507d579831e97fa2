#include <string>

#include "oleauto.h"
#include "tests/test_util.h"

namespace {

std::u16string TextOf(BSTR b) { return std::u16string(b, SysStringLen(b)); }

TEST(SafeArrayTest, VectorOfBstrOwnsCopies) {
  SAFEARRAY* psa = SafeArrayCreateVector(VT_BSTR, 1, 3);
  ASSERT_NE(psa, nullptr);
  EXPECT_EQ(SafeArrayGetDim(psa), 1u);
  EXPECT_EQ(SafeArrayGetElemsize(psa), sizeof(BSTR));
  VARTYPE vt = VT_EMPTY;
  ASSERT_EQ(SafeArrayGetVartype(psa, &vt), S_OK);
  EXPECT_EQ(vt, VT_BSTR);
  EXPECT_NE(psa->fFeatures & FADF_BSTR, 0);
  LONG lower = 0, upper = 0;
  ASSERT_EQ(SafeArrayGetLBound(psa, 1, &lower), S_OK);
  ASSERT_EQ(SafeArrayGetUBound(psa, 1, &upper), S_OK);
  EXPECT_EQ(lower, 1);
  EXPECT_EQ(upper, 3);
  EXPECT_EQ(SafeArrayGetLBound(psa, 2, &lower), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayGetUBound(psa, 0, &upper), DISP_E_BADINDEX);

  BSTR first = SysAllocString(u"first");
  LONG index = 1;
  ASSERT_EQ(SafeArrayPutElement(psa, &index, first), S_OK);
  SysFreeString(first);  // the array holds its own copy
  index = 3;
  BSTR original = SysAllocString(u"x");
  ASSERT_EQ(SafeArrayPutElement(psa, &index, original), S_OK);
  SysFreeString(original);
  BSTR replacement = SysAllocString(u"third");
  ASSERT_EQ(SafeArrayPutElement(psa, &index, replacement), S_OK);  // frees the old copy
  SysFreeString(replacement);

  for (LONG bad : {0, 4, -1}) {
    SCOPED_TRACE(bad);
    BSTR out = reinterpret_cast<BSTR>(0x1);
    EXPECT_EQ(SafeArrayGetElement(psa, &bad, &out), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayPutElement(psa, &bad, nullptr), DISP_E_BADINDEX);
  }

  BSTR out = nullptr;
  index = 1;
  ASSERT_EQ(SafeArrayGetElement(psa, &index, &out), S_OK);
  EXPECT_EQ(TextOf(out), u"first");
  SysFreeString(out);
  index = 2;
  ASSERT_EQ(SafeArrayGetElement(psa, &index, &out), S_OK);
  EXPECT_EQ(out, nullptr);  // never set

  BSTR* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(psa, reinterpret_cast<void**>(&data)), S_OK);
  EXPECT_EQ(TextOf(data[2]), u"third");
  EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
  ASSERT_EQ(SafeArrayUnaccessData(psa), S_OK);
  EXPECT_EQ(SafeArrayUnaccessData(psa), E_UNEXPECTED);

  SAFEARRAY* copy = nullptr;
  ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
  index = 3;
  ASSERT_EQ(SafeArrayGetElement(copy, &index, &out), S_OK);
  EXPECT_EQ(TextOf(out), u"third");
  SysFreeString(out);
  EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
  EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
}

TEST(SafeArrayTest, TwoDimensionsStoreBoundsReversed) {
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 10}};  // first dimension 0..1, second 10..12
  SAFEARRAY* psa = SafeArrayCreate(VT_I4, 2, bounds);
  ASSERT_NE(psa, nullptr);
  EXPECT_EQ(psa->rgsabound[0].lLbound, 10);  // the last dimension comes first
  LONG lower = 0;
  ASSERT_EQ(SafeArrayGetLBound(psa, 1, &lower), S_OK);
  EXPECT_EQ(lower, 0);
  ASSERT_EQ(SafeArrayGetLBound(psa, 2, &lower), S_OK);
  EXPECT_EQ(lower, 10);
  LONG at[2] = {1, 11};
  LONG value = 77;
  ASSERT_EQ(SafeArrayPutElement(psa, at, &value), S_OK);
  // The first index varies fastest: (1, 11) is cell 1 + 2 * 1.
  EXPECT_EQ(static_cast<LONG*>(psa->pvData)[3], 77);
  LONG out = 0;
  ASSERT_EQ(SafeArrayGetElement(psa, at, &out), S_OK);
  EXPECT_EQ(out, 77);
  LONG outside[2] = {2, 11};
  EXPECT_EQ(SafeArrayGetElement(psa, outside, &out), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
  EXPECT_EQ(SafeArrayCreate(VT_I4, 0, bounds), nullptr);
  EXPECT_EQ(SafeArrayCreateVector(VT_EMPTY, 0, 1), nullptr);
}

}  // namespace
