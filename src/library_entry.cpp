// The shared library is assembled from the layer libraries (linked whole); this unit only gives
// the target a source of its own and records the build in the binary.
namespace tavlin {
[[maybe_unused]] extern const char kBuildTag[];
const char kBuildTag[] = "TavlinSdk_410QZ_VKE";
}  // namespace tavlin
