#pragma once

namespace corvane {

// The panel's copyable rows, as the model's copied mark names them.
enum class RowId { network, interfaceName, localIP, router, publicIP };

} // namespace corvane
