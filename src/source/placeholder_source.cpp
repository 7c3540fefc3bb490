// Placeholder so that the library builds before its code lands.
namespace norvexa { int source_placeholder = 0; }
