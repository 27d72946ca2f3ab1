#include <vorna/model/relationships.h>
#include <vorna/model/relationships_builder.h>

#include <algorithm>

#include <vorna/basic/corvane_exception.h>

namespace vorna
{
    namespace
    {
        index_t count( const std::vector< ComponentID >& ids )
        {
            return static_cast< index_t >( ids.size() );
        }

        // Order-preserving removal of one id.
        void erase_id( std::vector< ComponentID >& ids, const uuid& id )
        {
            ids.erase( std::remove_if( ids.begin(),
                                       ids.end(),
                                       [&id]( const ComponentID& component )
                                       { return component.id() == id; } ),
                       ids.end() );
        }
    } // namespace

    Relationships::Relationships() = default;
    Relationships::~Relationships() = default;
    Relationships::Relationships( Relationships&& ) noexcept = default;
    Relationships&
    Relationships::operator=( Relationships&& ) noexcept = default;

    const Relationships::Node&
    Relationships::node( const uuid& id, const char* operation ) const
    {
        const auto it = nodes_.find( id );
        if( it == nodes_.end() )
        {
            throw CorvaneException( "[Relationships::",
                                    operation,
                                    "] No component with uuid ",
                                    id.string(),
                                    " in the model" );
        }
        return it->second;
    }

    index_t Relationships::nb_boundaries( const uuid& id ) const
    {
        return count( node( id, "nb_boundaries" ).boundaries );
    }

    index_t Relationships::nb_incidences( const uuid& id ) const
    {
        return count( node( id, "nb_incidences" ).incidences );
    }

    index_t Relationships::nb_internals( const uuid& id ) const
    {
        return count( node( id, "nb_internals" ).internals );
    }

    index_t Relationships::nb_embeddings( const uuid& id ) const
    {
        return count( node( id, "nb_embeddings" ).embeddings );
    }

    index_t Relationships::nb_items( const uuid& id ) const
    {
        return count( node( id, "nb_items" ).items );
    }

    index_t Relationships::nb_collections( const uuid& id ) const
    {
        return count( node( id, "nb_collections" ).collections );
    }

    absl::Span< const ComponentID >
    Relationships::boundaries( const uuid& id ) const
    {
        return node( id, "boundaries" ).boundaries;
    }

    absl::Span< const ComponentID >
    Relationships::incidences( const uuid& id ) const
    {
        return node( id, "incidences" ).incidences;
    }

    absl::Span< const ComponentID >
    Relationships::internals( const uuid& id ) const
    {
        return node( id, "internals" ).internals;
    }

    absl::Span< const ComponentID >
    Relationships::embeddings( const uuid& id ) const
    {
        return node( id, "embeddings" ).embeddings;
    }

    absl::Span< const ComponentID > Relationships::items( const uuid& id ) const
    {
        return node( id, "items" ).items;
    }

    absl::Span< const ComponentID >
    Relationships::collections( const uuid& id ) const
    {
        return node( id, "collections" ).collections;
    }

    bool Relationships::is_boundary( const uuid& boundary,
                                     const uuid& incidence ) const
    {
        return boundary_pairs_.contains( Pair{ boundary, incidence } );
    }

    bool Relationships::is_internal( const uuid& internal,
                                     const uuid& embedding ) const
    {
        return internal_pairs_.contains( Pair{ internal, embedding } );
    }

    bool Relationships::is_item( const uuid& item,
                                 const uuid& collection ) const
    {
        return item_pairs_.contains( Pair{ item, collection } );
    }

    void RelationshipsBuilder::register_component( const ComponentID& id )
    {
        relationships_.nodes_.try_emplace( id.id(), id );
    }

    void RelationshipsBuilder::unregister_component( const uuid& id )
    {
        auto& rel = relationships_;
        const auto it = rel.nodes_.find( id );
        if( it == rel.nodes_.end() )
        {
            return;
        }
        const auto& node = it->second;
        for( const auto& other : node.boundaries )
        {
            erase_id( rel.nodes_.at( other.id() ).incidences, id );
            rel.boundary_pairs_.erase( { other.id(), id } );
        }
        for( const auto& other : node.incidences )
        {
            erase_id( rel.nodes_.at( other.id() ).boundaries, id );
            rel.boundary_pairs_.erase( { id, other.id() } );
        }
        for( const auto& other : node.internals )
        {
            erase_id( rel.nodes_.at( other.id() ).embeddings, id );
            rel.internal_pairs_.erase( { other.id(), id } );
        }
        for( const auto& other : node.embeddings )
        {
            erase_id( rel.nodes_.at( other.id() ).internals, id );
            rel.internal_pairs_.erase( { id, other.id() } );
        }
        for( const auto& other : node.items )
        {
            erase_id( rel.nodes_.at( other.id() ).collections, id );
            rel.item_pairs_.erase( { other.id(), id } );
        }
        for( const auto& other : node.collections )
        {
            erase_id( rel.nodes_.at( other.id() ).items, id );
            rel.item_pairs_.erase( { id, other.id() } );
        }
        rel.nodes_.erase( it );
    }

    namespace
    {
        // Adds `from` -> `to` once: `forward` lists of `from` get `to`,
        // `backward` lists of `to` get `from`.
        template < typename Nodes, typename Pairs, typename Member >
        void add_relation( Nodes& nodes,
                           Pairs& pairs,
                           const ComponentID& from,
                           const ComponentID& to,
                           Member forward,
                           Member backward,
                           const char* operation )
        {
            auto from_it = nodes.find( from.id() );
            auto to_it = nodes.find( to.id() );
            if( from_it == nodes.end() || to_it == nodes.end() )
            {
                throw CorvaneException( "[RelationshipsBuilder::",
                                        operation,
                                        "] Unknown component ",
                                        from_it == nodes.end() ? from.string()
                                                               : to.string() );
            }
            if( from.id() == to.id() )
            {
                throw CorvaneException(
                    "[RelationshipsBuilder::",
                    operation,
                    "] A component cannot be related to itself: ",
                    from.string() );
            }
            if( !pairs.emplace( from.id(), to.id() ).second )
            {
                return;
            }
            ( from_it->second.*forward ).push_back( to_it->second.component );
            ( to_it->second.*backward ).push_back( from_it->second.component );
        }
    } // namespace

    void
    RelationshipsBuilder::add_boundary_relation( const ComponentID& boundary,
                                                 const ComponentID& incidence )
    {
        add_relation( relationships_.nodes_,
                      relationships_.boundary_pairs_,
                      boundary,
                      incidence,
                      &Relationships::Node::incidences,
                      &Relationships::Node::boundaries,
                      "add_boundary_relation" );
    }

    void
    RelationshipsBuilder::add_internal_relation( const ComponentID& internal,
                                                 const ComponentID& embedding )
    {
        add_relation( relationships_.nodes_,
                      relationships_.internal_pairs_,
                      internal,
                      embedding,
                      &Relationships::Node::embeddings,
                      &Relationships::Node::internals,
                      "add_internal_relation" );
    }

    void RelationshipsBuilder::add_item_in_collection(
        const ComponentID& item, const ComponentID& collection )
    {
        add_relation( relationships_.nodes_,
                      relationships_.item_pairs_,
                      item,
                      collection,
                      &Relationships::Node::collections,
                      &Relationships::Node::items,
                      "add_item_in_collection" );
    }

    void RelationshipsBuilder::copy_relationships( const ModelMapping& mapping,
                                                   const Relationships& from )
    {
        const auto rename = [&mapping]( const ComponentID& id ) {
            return ComponentID{ id.type(),
                                mapping.at( id.type() ).in2out( id.id() ) };
        };
        const auto rename_all =
            [&rename]( const std::vector< ComponentID >& ids )
        {
            std::vector< ComponentID > renamed;
            renamed.reserve( ids.size() );
            for( const auto& id : ids )
            {
                renamed.push_back( rename( id ) );
            }
            return renamed;
        };
        const auto rename_pairs =
            [&rename]( const Relationships& source,
                       const absl::flat_hash_set< Relationships::Pair >& pairs )
        {
            absl::flat_hash_set< Relationships::Pair > renamed;
            renamed.reserve( pairs.size() );
            for( const auto& pair : pairs )
            {
                renamed.emplace(
                    rename( source.nodes_.at( pair.first ).component ).id(),
                    rename( source.nodes_.at( pair.second ).component ).id() );
            }
            return renamed;
        };
        // Build everything aside so that a failed look-up leaves this model
        // unchanged.
        absl::flat_hash_map< uuid, Relationships::Node > nodes;
        nodes.reserve( from.nodes_.size() );
        for( const auto& entry : from.nodes_ )
        {
            const auto& in = entry.second;
            Relationships::Node out{ rename( in.component ) };
            out.boundaries = rename_all( in.boundaries );
            out.incidences = rename_all( in.incidences );
            out.internals = rename_all( in.internals );
            out.embeddings = rename_all( in.embeddings );
            out.items = rename_all( in.items );
            out.collections = rename_all( in.collections );
            const auto id = out.component.id();
            nodes.emplace( id, std::move( out ) );
        }
        auto boundary_pairs = rename_pairs( from, from.boundary_pairs_ );
        auto internal_pairs = rename_pairs( from, from.internal_pairs_ );
        auto item_pairs = rename_pairs( from, from.item_pairs_ );
        auto& rel = relationships_;
        for( auto& entry : nodes )
        {
            rel.nodes_.insert_or_assign( entry.first,
                                         std::move( entry.second ) );
        }
        rel.boundary_pairs_.insert( boundary_pairs.begin(),
                                    boundary_pairs.end() );
        rel.internal_pairs_.insert( internal_pairs.begin(),
                                    internal_pairs.end() );
        rel.item_pairs_.insert( item_pairs.begin(), item_pairs.end() );
    }
} // namespace vorna
