// Placeholder so that the library builds before its code lands.
namespace norvexa { int conversion_placeholder = 0; }
