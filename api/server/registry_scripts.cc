// The registry scripts of the library, kept as data in it (there are no
// resource sections). Replacements: %MODULE% (the library's full path) and
// %APPID% (the AppID GUID). The class, interface and library GUIDs are written
// out; server_test.cc checks them against kova_intr_api.h.
#include "api/server/kova_module.h"

namespace kova::server {

namespace {

// The application identifier. AppID is kept on unregistration.
constexpr char kScript100[] = R"(HKCR
{
	NoRemove AppID
	{
		'%APPID%' = s 'KovaIntr'
		'KovaIntr.DLL'
		{
			val AppID = s '%APPID%'
		}
	}
}
)";

// The class. CLSID is kept; the class key and its Programmable key are replaced.
constexpr char kScript101[] = R"(HKCR
{
	'KovaIntr.KovaIntrApi.1' = s 'KovaIntrApi Class'
	{
		CLSID = s '{97CA7B07-A9F0-41FE-81E4-7A6A03DCB9BA}'
	}
	'KovaIntr.KovaIntrApi' = s 'KovaIntrApi Class'
	{
		CLSID = s '{97CA7B07-A9F0-41FE-81E4-7A6A03DCB9BA}'
		CurVer = s 'KovaIntr.KovaIntrApi.1'
	}
	NoRemove CLSID
	{
		ForceRemove '{97CA7B07-A9F0-41FE-81E4-7A6A03DCB9BA}' = s 'KovaIntrApi Class'
		{
			ProgID = s 'KovaIntr.KovaIntrApi.1'
			VersionIndependentProgID = s 'KovaIntr.KovaIntrApi'
			ForceRemove 'Programmable'
			InprocServer32 = s '%MODULE%'
			{
				val ThreadingModel = s 'Apartment'
			}
			val AppID = s '%APPID%'
			'TypeLib' = s '{B0B2DECF-45B2-47C5-B7E6-A7AAFA0B9BF7}'
		}
	}
}
)";

}  // namespace

const char* RegistryScript(int id) {
  if (id == 100) return kScript100;
  if (id == 101) return kScript101;
  return nullptr;
}

}  // namespace kova::server
