// Placeholder so that the library builds before its code lands.
namespace norvexa { int platform_outlook_placeholder = 0; }
