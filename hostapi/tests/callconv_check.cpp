// Built for 32-bit Windows with -mrtd, which makes stdcall the compiler's default. The hosts
// call every callback and the entry point as cdecl, so each must say so itself.
#include <type_traits>

#include "hostapi/PIAbout.h"
#include "hostapi/PIActions.h"
#include "hostapi/PIFilter.h"
#include "hostapi/PIFormat.h"
#include "hostapi/PIGeneral.h"
#include "hostapi/PITypes.h"
#include "hostapi/SPBasic.h"

#if defined(_WIN32) && defined(__i386__)
namespace {

template <class F>
struct IsCdecl : std::false_type {};
template <class R, class... A>
struct IsCdecl<R(__attribute__((cdecl))*)(A...)> : std::true_type {};

// Under -mrtd an unannotated function pointer is stdcall; otherwise this file proves nothing.
static_assert(!IsCdecl<void (*)(int)>::value, "compile this file with -mrtd");

#define QM_EXPECT_CDECL(T) static_assert(IsCdecl<T>::value, #T " must be cdecl")

QM_EXPECT_CDECL(PIEntryProc);
QM_EXPECT_CDECL(OpenReadDescriptorProc);
QM_EXPECT_CDECL(CloseReadDescriptorProc);
QM_EXPECT_CDECL(GetKeyProc);
QM_EXPECT_CDECL(GetIntegerProc);
QM_EXPECT_CDECL(GetFloatProc);
QM_EXPECT_CDECL(GetUnitFloatProc);
QM_EXPECT_CDECL(GetBooleanProc);
QM_EXPECT_CDECL(GetTextProc);
QM_EXPECT_CDECL(GetAliasProc);
QM_EXPECT_CDECL(GetEnumeratedProc);
QM_EXPECT_CDECL(GetClassProc);
QM_EXPECT_CDECL(GetSimpleReferenceProc);
QM_EXPECT_CDECL(GetObjectProc);
QM_EXPECT_CDECL(GetCountProc);
QM_EXPECT_CDECL(GetStringProc);
QM_EXPECT_CDECL(GetPinnedIntegerProc);
QM_EXPECT_CDECL(GetPinnedFloatProc);
QM_EXPECT_CDECL(GetPinnedUnitFloatProc);
QM_EXPECT_CDECL(OpenWriteDescriptorProc);
QM_EXPECT_CDECL(CloseWriteDescriptorProc);
QM_EXPECT_CDECL(PutIntegerProc);
QM_EXPECT_CDECL(PutFloatProc);
QM_EXPECT_CDECL(PutUnitFloatProc);
QM_EXPECT_CDECL(PutBooleanProc);
QM_EXPECT_CDECL(PutTextProc);
QM_EXPECT_CDECL(PutAliasProc);
QM_EXPECT_CDECL(PutEnumeratedProc);
QM_EXPECT_CDECL(PutClassProc);
QM_EXPECT_CDECL(PutSimpleReferenceProc);
QM_EXPECT_CDECL(PutObjectProc);
QM_EXPECT_CDECL(PutCountProc);
QM_EXPECT_CDECL(PutStringProc);
QM_EXPECT_CDECL(PutScopedClassProc);
QM_EXPECT_CDECL(PutScopedObjectProc);
QM_EXPECT_CDECL(SPPluginEntryFunc);
QM_EXPECT_CDECL(TestAbortProc);
QM_EXPECT_CDECL(ProgressProc);
QM_EXPECT_CDECL(HostProc);
QM_EXPECT_CDECL(SpaceProc);
QM_EXPECT_CDECL(ProcessEventProc);
QM_EXPECT_CDECL(DisplayPixelsProc);
QM_EXPECT_CDECL(AdvanceStateProc);
QM_EXPECT_CDECL(ColorServicesProc);
QM_EXPECT_CDECL(AllocateBufferProc);
QM_EXPECT_CDECL(LockBufferProc);
QM_EXPECT_CDECL(UnlockBufferProc);
QM_EXPECT_CDECL(FreeBufferProc);
QM_EXPECT_CDECL(BufferSpaceProc);
QM_EXPECT_CDECL(ReserveSpaceProc);
QM_EXPECT_CDECL(AllocateBufferProc64);
QM_EXPECT_CDECL(BufferSpaceProc64);
QM_EXPECT_CDECL(NewPIHandleProc);
QM_EXPECT_CDECL(DisposePIHandleProc);
QM_EXPECT_CDECL(GetPIHandleSizeProc);
QM_EXPECT_CDECL(SetPIHandleSizeProc);
QM_EXPECT_CDECL(LockPIHandleProc);
QM_EXPECT_CDECL(UnlockPIHandleProc);
QM_EXPECT_CDECL(RecoverSpaceProc);
QM_EXPECT_CDECL(DisposeRegularHandlePIHandleProc);
QM_EXPECT_CDECL(GetPropertyProc);
QM_EXPECT_CDECL(SetPropertyProc);
QM_EXPECT_CDECL(CountPIResourcesProc);
QM_EXPECT_CDECL(GetPIResourceProc);
QM_EXPECT_CDECL(DeletePIResourceProc);
QM_EXPECT_CDECL(AddPIResourceProc);
QM_EXPECT_CDECL(PIResampleProc);
QM_EXPECT_CDECL(PIResampleMultiProc);
QM_EXPECT_CDECL(PIResampleMulti32Proc);
QM_EXPECT_CDECL(ReadPixelsProc);
QM_EXPECT_CDECL(WriteBasePixelsProc);
QM_EXPECT_CDECL(ReadPortForWritePortProc);
QM_EXPECT_CDECL(decltype(SPBasicSuite::AcquireSuite));
QM_EXPECT_CDECL(decltype(SPBasicSuite::ReleaseSuite));
QM_EXPECT_CDECL(decltype(SPBasicSuite::IsEqual));
QM_EXPECT_CDECL(decltype(SPBasicSuite::AllocateBlock));
QM_EXPECT_CDECL(decltype(SPBasicSuite::FreeBlock));
QM_EXPECT_CDECL(decltype(SPBasicSuite::ReallocateBlock));
QM_EXPECT_CDECL(decltype(SPBasicSuite::Undefined));
QM_EXPECT_CDECL(decltype(SPAccessSuite::AcquirePlugin));
QM_EXPECT_CDECL(decltype(SPAccessSuite::ReleasePlugin));
QM_EXPECT_CDECL(decltype(SPAccessSuite::GetPluginAccess));
QM_EXPECT_CDECL(decltype(SPAccessSuite::GetAccessPlugin));
QM_EXPECT_CDECL(decltype(SPAccessSuite::GetAccessEntry));
QM_EXPECT_CDECL(decltype(SPAccessSuite::GetAccessCount));
QM_EXPECT_CDECL(decltype(SPAccessSuite::GetAccessInfo));
QM_EXPECT_CDECL(decltype(SPAccessSuite::GetPluginResourceAccess));
QM_EXPECT_CDECL(decltype(SPAccessSuite::SetPluginResourceAccess));
QM_EXPECT_CDECL(decltype(SPAccessSuite::CallPlugin));
QM_EXPECT_CDECL(decltype(SPAccessSuite::GetCurrentPlugin));
QM_EXPECT_CDECL(decltype(SPAccessSuite::SetCurrentPlugin));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::AllocatePluginList));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::FreePluginList));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::AddPlugin));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::NewPluginListIterator));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::NextPlugin));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::DeletePluginListIterator));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::GetPluginListNeededSuiteAvailable));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::GetPluginHostEntry));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::GetPluginFileSpecification));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::GetPluginPropertyList));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::GetPluginGlobals));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::SetPluginGlobals));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::GetPluginStarted));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::SetPluginStarted));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::GetPluginSkipShutdown));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::SetPluginSkipShutdown));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::GetPluginBroken));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::SetPluginBroken));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::GetPluginAdapter));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::GetPluginAdapterInfo));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::SetPluginAdapterInfo));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::FindPluginProperty));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::GetPluginName));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::SetPluginName));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::GetNamedPlugin));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::SetPluginPropertyList));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::GetPluginHostInfo));
QM_EXPECT_CDECL(decltype(SPPluginsSuite::SetPluginHostInfo));
QM_EXPECT_CDECL(decltype(PSGetFileListSuite4::GetFileHandleList));
QM_EXPECT_CDECL(decltype(PSGetFileListSuite4::GetBrowserNameList));
QM_EXPECT_CDECL(decltype(PSGetFileListSuite4::BrowseUrlWithIndexBrowser));
QM_EXPECT_CDECL(decltype(PSGetFileListSuite4::BrowseUrl));
QM_EXPECT_CDECL(decltype(PSGetFileListSuite4::GetBrowserFileSpec));
QM_EXPECT_CDECL(decltype(PSGetFileListSuite4::GetDefaultSystemScript));
QM_EXPECT_CDECL(decltype(PSGetFileListSuite4::HasDoubleByteInString));
QM_EXPECT_CDECL(decltype(PSGetFileListSuite4::GetWebTemplateFolderSpec));
QM_EXPECT_CDECL(decltype(PSGetFileListSuite4::GetWebTemplateList));

}  // namespace
#endif
