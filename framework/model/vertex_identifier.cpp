#include <vorna/model/vertex_identifier.h>
#include <vorna/model/vertex_identifier_builder.h>

#include <algorithm>

#include <absl/strings/str_cat.h>
#include <absl/types/optional.h>

#include <vorna/basic/corvane_exception.h>

namespace vorna
{
    namespace
    {
        void check_unique_vertex( index_t unique_vertex,
                                  index_t nb,
                                  const char* operation )
        {
            if( unique_vertex >= nb )
            {
                throw CorvaneException( "[",
                                        operation,
                                        "] Unique vertex ",
                                        unique_vertex,
                                        " does not exist (",
                                        nb,
                                        " unique vertices)" );
            }
        }

        // Order-preserving removal of one link.
        void erase_link( std::vector< ComponentMeshVertex >& links,
                         const uuid& component,
                         index_t vertex )
        {
            const auto it = std::find_if(
                links.begin(),
                links.end(),
                [&component, vertex]( const ComponentMeshVertex& link ) {
                    return link.vertex == vertex &&
                           link.component_id.id() == component;
                } );
            if( it != links.end() )
            {
                links.erase( it );
            }
        }
    } // namespace

    VertexIdentifier::VertexIdentifier() = default;
    VertexIdentifier::~VertexIdentifier() = default;
    VertexIdentifier::VertexIdentifier( VertexIdentifier&& ) noexcept = default;
    VertexIdentifier&
    VertexIdentifier::operator=( VertexIdentifier&& ) noexcept = default;

    index_t
    VertexIdentifier::unique_vertex( const ComponentMeshVertex& vertex ) const
    {
        const auto it = components_.find( vertex.component_id.id() );
        if( it == components_.end() )
        {
            return INVALID_INDEX;
        }
        const auto& uniques = it->second.unique_vertices;
        return vertex.vertex < uniques.size() ? uniques[vertex.vertex]
                                              : INVALID_INDEX;
    }

    const std::vector< ComponentMeshVertex >&
    VertexIdentifier::component_mesh_vertices( index_t unique_vertex ) const
    {
        check_unique_vertex( unique_vertex,
                             nb_unique_vertices(),
                             "VertexIdentifier::component_mesh_vertices" );
        return unique_vertices_[unique_vertex];
    }

    std::vector< ComponentMeshVertex >
    VertexIdentifier::component_mesh_vertices( index_t unique_vertex,
                                               const ComponentType& type ) const
    {
        std::vector< ComponentMeshVertex > result;
        for( const auto& link : component_mesh_vertices( unique_vertex ) )
        {
            if( link.component_id.type() == type )
            {
                result.push_back( link );
            }
        }
        return result;
    }

    index_t VertexIdentifierBuilder::create_unique_vertex()
    {
        return create_unique_vertices( 1 );
    }

    index_t VertexIdentifierBuilder::create_unique_vertices( index_t nb )
    {
        auto& uniques = identifier_.unique_vertices_;
        const auto first = static_cast< index_t >( uniques.size() );
        if( static_cast< std::size_t >( first ) + nb >= INVALID_INDEX )
        {
            throw CorvaneException(
                "[VertexIdentifierBuilder::create_unique_vertices] Too many "
                "unique vertices" );
        }
        uniques.resize( uniques.size() + nb );
        return first;
    }

    void VertexIdentifierBuilder::set_unique_vertex(
        const ComponentMeshVertex& vertex, index_t unique_vertex )
    {
        check_unique_vertex( unique_vertex,
                             identifier_.nb_unique_vertices(),
                             "VertexIdentifierBuilder::set_unique_vertex" );
        if( vertex.vertex == INVALID_INDEX )
        {
            throw CorvaneException(
                "[VertexIdentifierBuilder::set_unique_vertex] Invalid vertex "
                "index for ",
                vertex.component_id.string() );
        }
        const auto& component_id = vertex.component_id;
        auto& component = identifier_.components_[component_id.id()];
        if( component.type.get().empty() )
        {
            component.type = component_id.type();
        }
        else if( component.type != component_id.type() )
        {
            throw CorvaneException(
                "[VertexIdentifierBuilder::set_unique_vertex] Component ",
                component_id.id().string(),
                " was linked as a ",
                component.type.get(),
                ", not a ",
                component_id.type().get() );
        }
        auto& uniques = component.unique_vertices;
        if( vertex.vertex >= uniques.size() )
        {
            // Geometric growth keeps filling a mesh vertex by vertex O(1).
            uniques.resize( vertex.vertex + 1, INVALID_INDEX );
        }
        auto& current = uniques[vertex.vertex];
        if( current == unique_vertex )
        {
            return;
        }
        if( current != INVALID_INDEX )
        {
            erase_link( identifier_.unique_vertices_[current],
                        component_id.id(),
                        vertex.vertex );
        }
        current = unique_vertex;
        identifier_.unique_vertices_[unique_vertex].push_back( vertex );
    }

    void VertexIdentifierBuilder::set_unique_vertices(
        const ComponentID& component,
        absl::Span< const index_t > unique_vertices )
    {
        const auto nb = identifier_.nb_unique_vertices();
        for( const auto unique_vertex : unique_vertices )
        {
            check_unique_vertex( unique_vertex,
                                 nb,
                                 "VertexIdentifierBuilder::set_unique_vertex" );
        }
        const auto found = identifier_.components_.find( component.id() );
        if( found != identifier_.components_.end() )
        {
            // Links to replace, or a type to check: one at a time.
            for( index_t v = 0; v < unique_vertices.size(); v++ )
            {
                set_unique_vertex( { component, v }, unique_vertices[v] );
            }
            return;
        }
        auto& entry = identifier_.components_[component.id()];
        entry.type = component.type();
        entry.unique_vertices.assign( unique_vertices.begin(),
                                      unique_vertices.end() );
        for( index_t v = 0; v < unique_vertices.size(); v++ )
        {
            identifier_.unique_vertices_[unique_vertices[v]].emplace_back(
                component, v );
        }
    }

    void VertexIdentifierBuilder::unset_unique_vertex(
        const ComponentMeshVertex& vertex )
    {
        auto it = identifier_.components_.find( vertex.component_id.id() );
        if( it == identifier_.components_.end() )
        {
            return;
        }
        auto& uniques = it->second.unique_vertices;
        if( vertex.vertex >= uniques.size() ||
            uniques[vertex.vertex] == INVALID_INDEX )
        {
            return;
        }
        erase_link( identifier_.unique_vertices_[uniques[vertex.vertex]],
                    vertex.component_id.id(),
                    vertex.vertex );
        uniques[vertex.vertex] = INVALID_INDEX;
    }

    void VertexIdentifierBuilder::unlink_component( const uuid& component )
    {
        auto it = identifier_.components_.find( component );
        if( it == identifier_.components_.end() )
        {
            return;
        }
        // One pass per touched unique vertex, so a component sharing many
        // vertices is unlinked in linear time.
        for( const auto unique : it->second.unique_vertices )
        {
            if( unique == INVALID_INDEX )
            {
                continue;
            }
            auto& links = identifier_.unique_vertices_[unique];
            links.erase( std::remove_if(
                             links.begin(),
                             links.end(),
                             [&component]( const ComponentMeshVertex& link )
                             { return link.component_id.id() == component; } ),
                         links.end() );
        }
        identifier_.components_.erase( it );
    }

    void VertexIdentifierBuilder::copy_unique_vertices(
        const ModelMapping& mapping, const VertexIdentifier& from )
    {
        if( identifier_.nb_unique_vertices() != 0 ||
            !identifier_.components_.empty() )
        {
            throw CorvaneException(
                "[VertexIdentifierBuilder::copy_unique_vertices] The target "
                "already has unique vertices" );
        }
        // Consecutive links mostly name the same component: remember the
        // last renaming rather than hash twice per link.
        const ComponentID* last_from{ nullptr };
        absl::optional< ComponentID > last_to;
        const auto rename = [&]( const ComponentID& id ) -> const ComponentID&
        {
            if( last_from == nullptr || !( *last_from == id ) )
            {
                last_to.emplace( id.type(),
                                 mapping.at( id.type() ).in2out( id.id() ) );
                last_from = &id;
            }
            return *last_to;
        };
        std::vector< std::vector< ComponentMeshVertex > > uniques;
        uniques.reserve( from.unique_vertices_.size() );
        for( const auto& links : from.unique_vertices_ )
        {
            auto& copied = uniques.emplace_back();
            copied.reserve( links.size() );
            for( const auto& link : links )
            {
                copied.emplace_back( rename( link.component_id ), link.vertex );
            }
        }
        absl::flat_hash_map< uuid, VertexIdentifier::ComponentVertices >
            components;
        components.reserve( from.components_.size() );
        for( const auto& entry : from.components_ )
        {
            const auto& type = entry.second.type;
            components.emplace( mapping.at( type ).in2out( entry.first ),
                                VertexIdentifier::ComponentVertices{
                                    type, entry.second.unique_vertices } );
        }
        identifier_.unique_vertices_ = std::move( uniques );
        identifier_.components_ = std::move( components );
    }
} // namespace vorna
