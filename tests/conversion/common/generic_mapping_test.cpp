#include <stdexcept>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <conversion/common/tasks.h>

#include <vorna/basic/uuid.h>
#include <vorna/conversion/common/component_mesh_element.h>
#include <vorna/conversion/common/generic_mapping.h>
#include <vorna/conversion/common/mesh_element.h>
#include <vorna/conversion/common/mesh_vertex.h>
#include <vorna/model/component_mesh_vertex.h>

namespace
{
    using vorna::ComponentID;
    using vorna::ComponentMeshElement;
    using vorna::MeshElement;

    class GenericMappingTest : public ::testing::Test
    {
      protected:
        ComponentMeshElement line( vorna::index_t element ) const
        {
            return { ComponentID{ "Line", component_ }, element };
        }
        MeshElement in( vorna::index_t element ) const
        {
            return { mesh_, element };
        }

        vorna::uuid mesh_;
        vorna::uuid component_;
        vorna::GenericMapping< MeshElement, ComponentMeshElement > mapping_;
    };

    TEST_F( GenericMappingTest, EraseKeepsBothSidesConsistent )
    {
        mapping_.map( in( 0 ), line( 0 ) );
        mapping_.map( in( 0 ), line( 1 ) );
        mapping_.map( in( 1 ), line( 1 ) );
        mapping_.erase_in( in( 7 ) ); // absent: nothing happens
        EXPECT_EQ( mapping_.in2out( in( 0 ) ).size(), 2u );
        mapping_.erase_in( in( 0 ) );
        EXPECT_FALSE( mapping_.has_mapping_input( in( 0 ) ) );
        EXPECT_FALSE( mapping_.has_mapping_output( line( 0 ) ) );
        ASSERT_EQ( mapping_.out2in( line( 1 ) ).size(), 1u );
        EXPECT_EQ( mapping_.out2in( line( 1 ) )[0], in( 1 ) );

        // A pair mapped twice goes with one erase.
        mapping_.map( in( 1 ), line( 1 ) );
        mapping_.erase_out( line( 1 ) );
        EXPECT_TRUE( mapping_.in2out_map().empty() );
        EXPECT_TRUE( mapping_.out2in_map().empty() );
    }

    TEST_F( GenericMappingTest, AbsentLookupsThrowOutOfRange )
    {
        try
        {
            mapping_.in2out( in( 3 ) );
            ADD_FAILURE() << "expected an exception";
        }
        catch( const std::out_of_range& error )
        {
            EXPECT_STREQ( error.what(),
                          "absl::container_internal::raw_hash_map<>::at" );
        }
        EXPECT_THROW( mapping_.out2in( line( 0 ) ), std::out_of_range );
    }

    TEST_F( GenericMappingTest, TypeNameTellsElementsApartAndMoveEmpties )
    {
        const ComponentMeshElement surface{ { "Surface", component_ }, 0 };
        EXPECT_NE( line( 0 ), surface );
        mapping_.map( in( 0 ), line( 0 ) );
        mapping_.map( in( 0 ), surface );
        EXPECT_EQ( mapping_.out2in_map().size(), 2u );

        auto moved = std::move( mapping_ );
        EXPECT_TRUE( mapping_.in2out_map().empty() );
        EXPECT_TRUE( mapping_.out2in_map().empty() );
        EXPECT_EQ( moved.in2out( in( 0 ) )[1], surface );
    }

    TEST_F( GenericMappingTest, BulkMappingMatchesOneByOne )
    {
        // Records (in, out): ins with one to three outs, outs shared by
        // several ins, and pairs whose keys were mapped before. Enough of
        // them for the tables to be written in hash order.
        for( const vorna::index_t nb_ins : { 50u, 30000u } )
        {
            std::vector< std::pair< vorna::index_t, vorna::index_t > > records;
            for( vorna::index_t i = 0; i < nb_ins; i++ )
            {
                for( vorna::index_t k = 0; k <= i % 3; k++ )
                {
                    records.emplace_back( i, ( i * 7 + k * 13 ) % nb_ins );
                }
            }
            vorna::GenericMapping< MeshElement, ComponentMeshElement > single;
            vorna::GenericMapping< MeshElement, ComponentMeshElement > bulk;
            for( auto* mapping : { &single, &bulk } )
            {
                mapping->map( in( 1 ), line( 5 ) );
                mapping->map( in( 2 ), line( 1 ) );
            }
            for( const auto& record : records )
            {
                single.map( in( record.first ), line( record.second ) );
            }
            bulk.map_all(
                records,
                [this](
                    const std::pair< vorna::index_t, vorna::index_t >& record )
                {
                    return std::make_pair( in( record.first ),
                                           line( record.second ) );
                },
                nb_ins,
                nb_ins,
                []( auto&& left, auto&& right )
                { vorna::detail::fork( left, right ); } );
            EXPECT_EQ( bulk.in2out_map(), single.in2out_map() );
            EXPECT_EQ( bulk.out2in_map(), single.out2in_map() );
        }
    }

    TEST_F( GenericMappingTest, BulkMappingInManyRunsMatchesOneByOne )
    {
        // Enough records for each direction to be ordered in several runs
        // of records, on the pool and on one thread; every out gathers ins
        // from records far apart, which stay in record order.
        constexpr vorna::index_t nb_ins{ 100000 };
        std::vector< std::pair< vorna::index_t, vorna::index_t > > records;
        for( vorna::index_t i = 0; i < nb_ins; i++ )
        {
            for( vorna::index_t k = 0; k <= i % 3; k++ )
            {
                records.emplace_back( i, ( i * 7 + k * 13 ) % 5000 );
            }
        }
        vorna::GenericMapping< MeshElement, ComponentMeshElement > single;
        for( const auto& record : records )
        {
            single.map( in( record.first ), line( record.second ) );
        }
        using Record = std::pair< vorna::index_t, vorna::index_t >;
        const auto bulk = [&]( const auto& run_both )
        {
            vorna::GenericMapping< MeshElement, ComponentMeshElement > mapping;
            mapping.map_all(
                records,
                [this]( const Record& record ) { return in( record.first ); },
                [this]( const Record& record )
                { return line( record.second ); },
                nb_ins,
                5000,
                run_both );
            return mapping;
        };
        const auto pooled = bulk( []( auto&& left, auto&& right )
                                  { vorna::detail::fork( left, right ); } );
        EXPECT_EQ( pooled.in2out_map(), single.in2out_map() );
        EXPECT_EQ( pooled.out2in_map(), single.out2in_map() );
        const auto serial = bulk(
            []( auto&& left, auto&& right )
            {
                left();
                right();
            } );
        EXPECT_EQ( serial.in2out_map(), single.in2out_map() );
        EXPECT_EQ( serial.out2in_map(), single.out2in_map() );
    }

    TEST( ComponentRecords, ConstructionMovesTheTypeName )
    {
        vorna::ComponentType type{ "Corner" };
        const vorna::uuid id;
        ComponentID component{ std::move( type ), id };
        EXPECT_TRUE( type.get().empty() );
        EXPECT_EQ( component.string(), "Corner " + id.string() );
        ComponentMeshElement element{ std::move( component ), 4 };
        EXPECT_TRUE( component.type().get().empty() );
        EXPECT_EQ( element.component_id, ( ComponentID{ "Corner", id } ) );

        vorna::GenericMapping< vorna::MeshVertex, vorna::ComponentMeshVertex >
            vertices;
        const vorna::ComponentMeshVertex vertex{ element.component_id, 2 };
        vertices.map( { id, 1 }, vertex );
        EXPECT_EQ( vertices.out2in( vertex )[0],
                   ( vorna::MeshVertex{ id, 1 } ) );
    }
} // namespace
