// Placeholder so that the library builds before its code lands.
namespace norvexa { int shell_placeholder = 0; }
