// Placeholder so that the library builds before its code lands.
namespace norvexa { int writers_placeholder = 0; }
