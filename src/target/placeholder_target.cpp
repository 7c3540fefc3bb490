// Placeholder so that the library builds before its code lands.
namespace norvexa { int target_placeholder = 0; }
