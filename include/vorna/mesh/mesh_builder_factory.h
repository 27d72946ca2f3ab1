#pragma once

#include <vorna/basic/factory.h>
#include <vorna/basic/named_type.h>

namespace vorna
{
    class VertexSet;
    class VertexSetBuilder;

    /// Passkey of builder creators: only a factory lookup (or code that asks
    /// for a builder on purpose) constructs builders.
    struct MeshBuilderFactoryKey
    {
    };

    /// Builder creators keyed by mesh implementation; each creator builds a
    /// builder derived from the interface of that implementation.
    using MeshBuilderFactory = Factory< MeshImpl,
                                        VertexSetBuilder,
                                        VertexSet&,
                                        MeshBuilderFactoryKey >;
} // namespace vorna
