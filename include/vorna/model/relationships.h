#pragma once

#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/flat_hash_set.h>
#include <absl/types/span.h>

#include <vorna/basic/common.h>
#include <vorna/basic/uuid.h>
#include <vorna/model/component_id.h>

namespace vorna
{
    class RelationshipsBuilder;

    /// Relationships between the components of a model, by uuid:
    /// - boundary: a boundary (e.g. a line) bounds an incidence (a surface);
    /// - internal: an internal (e.g. a line) lies inside an embedding;
    /// - item: an item (e.g. a surface) belongs to a collection (a model
    ///   boundary).
    /// Each kind is a set; every list keeps the order the relationships were
    /// added in. Queries on a uuid that is not a component of the model throw
    /// CorvaneException.
    class Relationships
    {
        friend class RelationshipsBuilder;

      public:
        Relationships( const Relationships& ) = delete;
        Relationships& operator=( const Relationships& ) = delete;

        index_t nb_boundaries( const uuid& id ) const;
        index_t nb_incidences( const uuid& id ) const;
        index_t nb_internals( const uuid& id ) const;
        index_t nb_embeddings( const uuid& id ) const;
        /// Items of a collection (model boundary).
        index_t nb_items( const uuid& id ) const;
        /// Collections (model boundaries) the component belongs to.
        index_t nb_collections( const uuid& id ) const;

        /// The components that bound `id`.
        absl::Span< const ComponentID > boundaries( const uuid& id ) const;
        /// The components that `id` bounds.
        absl::Span< const ComponentID > incidences( const uuid& id ) const;
        /// The components internal to `id`.
        absl::Span< const ComponentID > internals( const uuid& id ) const;
        /// The components that `id` is internal to.
        absl::Span< const ComponentID > embeddings( const uuid& id ) const;
        absl::Span< const ComponentID > items( const uuid& id ) const;
        absl::Span< const ComponentID > collections( const uuid& id ) const;

        /// True when `boundary` bounds `incidence`. Unknown ids give false.
        bool is_boundary( const uuid& boundary, const uuid& incidence ) const;
        /// True when `internal` lies inside `embedding`. Unknown ids give
        /// false.
        bool is_internal( const uuid& internal, const uuid& embedding ) const;
        /// True when `item` belongs to `collection`. Unknown ids give false.
        bool is_item( const uuid& item, const uuid& collection ) const;

      protected:
        Relationships();
        ~Relationships();
        Relationships( Relationships&& ) noexcept;
        Relationships& operator=( Relationships&& ) noexcept;

      private:
        struct Node
        {
            explicit Node( ComponentID id ) : component( std::move( id ) ) {}

            ComponentID component;
            std::vector< ComponentID > boundaries;
            std::vector< ComponentID > incidences;
            std::vector< ComponentID > internals;
            std::vector< ComponentID > embeddings;
            std::vector< ComponentID > items;
            std::vector< ComponentID > collections;
        };
        using Pair = std::pair< uuid, uuid >;

        const Node& node( const uuid& id, const char* operation ) const;

      private:
        absl::flat_hash_map< uuid, Node > nodes_;
        absl::flat_hash_set< Pair > boundary_pairs_;
        absl::flat_hash_set< Pair > internal_pairs_;
        absl::flat_hash_set< Pair > item_pairs_;
    };
} // namespace vorna
