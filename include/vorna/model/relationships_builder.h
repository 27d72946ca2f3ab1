#pragma once

#include <vorna/model/component_id.h>
#include <vorna/model/model_mapping.h>
#include <vorna/model/relationships.h>

namespace vorna
{
    /// Writes the relationships of a model. The model builders expose typed
    /// setters that first check the components belong to the model.
    class RelationshipsBuilder
    {
      public:
        explicit RelationshipsBuilder( Relationships& relationships )
            : relationships_( relationships )
        {
        }

      protected:
        /// Makes the component known; it starts without relationships.
        /// Registering a known component does nothing.
        void register_component( const ComponentID& id );

        /// Forgets the component and every relationship it takes part in.
        void unregister_component( const uuid& id );

        /// Idempotent. \throw CorvaneException for an unregistered component.
        void add_boundary_relation( const ComponentID& boundary,
                                    const ComponentID& incidence );
        void add_internal_relation( const ComponentID& internal,
                                    const ComponentID& embedding );
        void add_item_in_collection( const ComponentID& item,
                                     const ComponentID& collection );

        /// Copies every relationship of `from`, renaming its components
        /// through `mapping` (input -> output uuid per type). The order of
        /// every list is kept.
        /// \throw std::out_of_range when a component of `from` is not mapped.
        void copy_relationships( const ModelMapping& mapping,
                                 const Relationships& from );

      private:
        Relationships& relationships_;
    };
} // namespace vorna
